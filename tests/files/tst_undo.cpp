// SPDX-License-Identifier: GPL-3.0-or-later
// The undo journal on disk and undo of each kind of action, on real folders: the folder before
// the action and after its undo are compared byte for byte.
#include "files/filepatch.h"
#include "files/journaledops.h"
#include "files/renamerun.h"
#include "files/undo.h"
#include "files/undojournal.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace morvane;
using namespace morvane::test;
namespace journal = files::journal;

namespace {

// Every entry below `folder` by relative path, with its content ("<folder>" for a folder).
QMap<QByteArray, QByteArray> tree(const QByteArray &folder, const QByteArray &prefix = {})
{
    QMap<QByteArray, QByteArray> out;
    const QMap<QByteArray, QByteArray> here = folderContents(folder);
    for (auto it = here.begin(); it != here.end(); ++it) {
        out.insert(prefix + it.key(), it.value());
        if (it.value() == "<folder>")
            out.insert(tree(inFolder(folder, it.key()), prefix + it.key() + '/'));
    }
    return out;
}

// The file contents of `trees`, sorted: a file lost or in two places shows.
QByteArrayList fileContents(const QList<QMap<QByteArray, QByteArray>> &trees)
{
    QByteArrayList out;
    for (const auto &t : trees) {
        for (const QByteArray &content : t) {
            if (content != "<folder>")
                out << content;
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

class TestUndo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void undoesEachKind_data();
    void undoesEachKind();
    void journalKeepsTheLastHundredAndSkipsATornTail();
    void journalLeavesOtherFilesAlone_data();
    void journalLeavesOtherFilesAlone();
    void journalRecordsWhatUndoNeeds();
    void killedMoveIsFinishedAndUndone_data();
    void killedMoveIsFinishedAndUndone();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_f; // the folder acted on
    QByteArray m_g; // another folder
};

void TestUndo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    const QByteArray base = nativeOf(*m_dir);
    qputenv("XDG_STATE_HOME", base + "/state");
    qputenv("XDG_DATA_HOME", base + "/data");
    m_f = base + "/f";
    m_g = base + "/g";
    QVERIFY(makeFolder(m_f) && makeFolder(m_g));
    for (const char *name : {"a", "b", "c写真"})
        QVERIFY(writeFile(inFolder(m_f, name), QByteArray("content ") + name));
}

void TestUndo::undoesEachKind_data()
{
    QTest::addColumn<QByteArray>("action"); // what is done to the folder f
    QTest::addColumn<QByteArray>("meanwhile"); // what happens before the undo
    QTest::addColumn<QByteArray>("refused"); // part of the one message expected, or empty
    QTest::addColumn<QByteArrayList>("changed"); // names in f not restored (old state expected)
    QTest::newRow("rename") << QByteArray("rename a z") << QByteArray() << QByteArray()
                            << QByteArrayList();
    QTest::newRow("swap run") << QByteArray("run") << QByteArray() << QByteArray()
                              << QByteArrayList();
    QTest::newRow("move to another folder")
        << QByteArray("move") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("copy goes to the trash")
        << QByteArray("copy") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("trash comes back")
        << QByteArray("trash") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("new empty folder removed")
        << QByteArray("newfolder") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("bytes rewritten in place put back")
        << QByteArray("patch") << QByteArray() << QByteArray() << QByteArrayList();
    // Several places at once, the file growing: an insertion as a rotate adds an Exif entry.
    QTest::newRow("bytes inserted in several places taken out")
        << QByteArray("patch grow") << QByteArray() << QByteArray() << QByteArrayList();
    QTest::newRow("grown file changed since: refused")
        << QByteArray("patch grow") << QByteArray("change f/a") << QByteArray("変更")
        << QByteArrayList {"a"};
    QTest::newRow("rewritten file changed since: refused")
        << QByteArray("patch") << QByteArray("change f/a") << QByteArray("変更")
        << QByteArrayList {"a"};
    QTest::newRow("old name taken since: refused, the rest goes on")
        << QByteArray("move") << QByteArray("new f/a") << QByteArray("別のファイル")
        << QByteArrayList {"a"};
    QTest::newRow("trashed file's old name taken since")
        << QByteArray("trash") << QByteArray("new f/b") << QByteArray("別のファイル")
        << QByteArrayList {"b"};
    QTest::newRow("renamed file changed since: refused")
        << QByteArray("rename a z") << QByteArray("change f/z") << QByteArray("変更")
        << QByteArrayList {"a", "z"};
    QTest::newRow("copy edited since, its time put back: kept") << QByteArray(
        "copy") << QByteArray("touch g/a") << QByteArray("変更") << QByteArrayList {"a"};
    QTest::newRow("new folder no longer empty: kept")
        << QByteArray("newfolder") << QByteArray("new f/n/x") << QByteArray("空ではない")
        << QByteArrayList {"n"};
}

void TestUndo::undoesEachKind()
{
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, refused);
    QFETCH(QByteArrayList, changed);
    const QMap<QByteArray, QByteArray> before = folderContents(m_f);
    const QList<QByteArray> all {inFolder(m_f, "a"), inFolder(m_f, "b"), inFolder(m_f, "c写真")};
    FakePrompter prompter;
    const QByteArrayList words = action.split(' ');
    files::RequestResult result;
    if (words[0] == "rename") {
        result = files::journaledRename(prompter, inFolder(m_f, words[1]), words[2]);
    } else if (words[0] == "run") {
        files::UndoJournal journal(files::UndoJournal::defaultFolder());
        result.ok = files::renameRun(prompter, journal, m_f, {{"a", "b"}, {"b", "a"}})
            == std::vector<bool> {true, true};
    } else if (words[0] == "move") {
        result =
            files::journaledMove(prompter, "move", all, files::FileOperations::targetsIn(m_g, all));
    } else if (words[0] == "copy") {
        result =
            files::journaledCopy(prompter, "copy", all, files::FileOperations::targetsIn(m_g, all));
    } else if (words[0] == "trash") {
        result = files::journaledRemove(prompter, all);
    } else if (words[0] == "newfolder") {
        QVERIFY(makeFolder(inFolder(m_f, "n")));
        files::journalNewFolder(prompter, inFolder(m_f, "n"));
        result.ok = true;
    } else if (words[0] == "patch") {
        // The rewrite keeps the file's mode and times; only its inode and bytes change.
        struct stat old
        {
        };
        struct stat now
        {
        };
        QVERIFY(::chmod(all[0].constData(), 0640) == 0 && ::stat(all[0].constData(), &old) == 0);
        QCOMPARE(files::journaledPatches(prompter, "rotate", {{all[0], {{1, "XX", "YY"}}}}), 0);
        QCOMPARE(prompter.errors.size(), 1);
        prompter.errors.clear();
        std::vector<files::journal::Patch> patches {{1, "on", "ON"}};
        if (words.value(1) == "grow")
            patches = {{0, "c", "C"}, {1, "on", "ON++"}, {7, " a", "_A__"}};
        result.ok = files::journaledPatches(prompter, "rotate", {{all[0], patches}}) == 1;
        QVERIFY(::stat(all[0].constData(), &now) == 0);
        QCOMPARE(now.st_mode, old.st_mode);
        QCOMPARE(now.st_mtim.tv_nsec, old.st_mtim.tv_nsec);
        QCOMPARE(now.st_mtim.tv_sec, old.st_mtim.tv_sec);
        QVERIFY(now.st_ino != old.st_ino);
        QCOMPARE(folderContents(m_f).size(), before.size()); // no temporary file left
    }
    QVERIFY2(result.ok && prompter.errors.isEmpty(), qPrintable(prompter.errors.join('\n')));
    QVERIFY(folderContents(m_f) != before || words[0] == "copy");

    const QByteArrayList what = meanwhile.split(' ');
    const QByteArray path = nativeOf(*m_dir) + '/' + what.value(1);
    if (what[0] == "new")
        QVERIFY(writeFile(path, "someone else's"));
    else if (what[0] == "change")
        QVERIFY(writeFile(path, "changed since"));
    struct stat st
    {
    };
    if (what[0] == "touch") { // same size, the old modification time given back
        QVERIFY(::stat(path.constData(), &st) == 0);
        QVERIFY(writeFile(path, "CONTENT a"));
        const timespec times[2] = {st.st_atim, st.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, path.constData(), times, 0) == 0);
    }

    // A journal object of its own: as after a restart of the program.
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    const files::UndoReport report = files::undoLast(prompter, journal);
    QVERIFY(report.found);
    QCOMPARE(report.refused.size(), refused.isEmpty() ? 0 : 1);
    if (!refused.isEmpty())
        QVERIFY2(report.refused.front().contains(QString::fromUtf8(refused)),
            qPrintable(report.refused.front()));
    QMap<QByteArray, QByteArray> after = folderContents(m_f);
    QMap<QByteArray, QByteArray> expected = before;
    for (const QByteArray &name : changed) {
        expected.remove(name);
        after.remove(name);
    }
    QCOMPARE(after, expected);
    if (words[0] == "copy" || words[0] == "move")
        QCOMPARE(folderContents(m_g).size(), changed.size());
    if (words[0] == "trash")
        QCOMPARE(QDir(QFile::decodeName(nativeOf(*m_dir) + "/data/Trash/info")).count(),
            2 + changed.size()); // "." and ".." and the .trashinfo of each file left there
    // The refused items stay as the newest entry: once the name is free again, a retry works.
    QCOMPARE(journal.entries().size(), changed.isEmpty() ? 0u : 1u);
    if (what[0] == "new") {
        QVERIFY(QFile::remove(QFile::decodeName(path)));
        QVERIFY(files::undoLast(prompter, journal).refused.isEmpty());
        QCOMPARE(folderContents(m_f), before);
        QVERIFY(journal.entries().empty());
    }
}

void TestUndo::journalKeepsTheLastHundredAndSkipsATornTail()
{
    const QByteArray folder = nativeOf(*m_dir) + "/state/morvane";
    files::UndoJournal journal(folder);
    for (int i = 0; i < 105; ++i)
        QVERIFY(journal.append({i, "rename", {{journal::Op::Move, "/x", "/y", "", {}}}}));
    std::vector<journal::Entry> entries = journal.entries();
    QCOMPARE(entries.size(), files::UndoJournal::kMaxEntries);
    QCOMPARE(entries.front().time, 5);
    // A crash in the middle of a line: the line is ignored, the next append starts afresh.
    QFile file(QFile::decodeName(folder + "/journal"));
    QVERIFY(file.open(QIODevice::Append));
    file.write(journal::encodeEntry({999, "copy", {}}).substr(0, 20).c_str());
    file.close();
    QCOMPARE(journal.entries().size(), files::UndoJournal::kMaxEntries);
    QVERIFY(journal.takeLast().has_value());
    // Torn again below the bound: the append itself must cut the half line.
    QVERIFY(file.open(QIODevice::Append));
    file.write(journal::encodeEntry({999, "copy", {}}).substr(0, 20).c_str());
    file.close();
    QVERIFY(journal.append({1000, "trash", {}}));
    entries = files::UndoJournal(folder).entries();
    QCOMPARE(entries.size(), files::UndoJournal::kMaxEntries);
    QCOMPARE(entries.back().time, 1000);
    QCOMPARE(entries[entries.size() - 2].time, 103);
    // A rewrite whose flush fails leaves the journal as it was.
    journal.setFlushError([] {
        return EIO;
    });
    QVERIFY(!journal.takeLast().has_value());
    QCOMPARE(files::UndoJournal(folder).entries(), entries);
}

void TestUndo::journalLeavesOtherFilesAlone_data()
{
    QTest::addColumn<QByteArray>("what"); // what stands at state/morvane/<where>
    QTest::addColumn<QByteArray>("where");
    QTest::newRow("journal links to a user's file") << QByteArray("link") << QByteArray("journal");
    QTest::newRow("journal is a user's file") << QByteArray("file") << QByteArray("journal");
    QTest::newRow("journal is a pipe") << QByteArray("fifo") << QByteArray("journal");
    QTest::newRow("run record links to a user's file")
        << QByteArray("link") << QByteArray("runs/1a2b");
    QTest::newRow("run record is a user's file") << QByteArray("file") << QByteArray("runs/1a2b");
}

void TestUndo::journalLeavesOtherFilesAlone()
{
    QFETCH(QByteArray, what);
    QFETCH(QByteArray, where);
    const QByteArray state = nativeOf(*m_dir) + "/state/morvane";
    const QByteArray notes = nativeOf(*m_dir) + "/notes.txt";
    const QByteArray text = "first line\nlast line without its break";
    QVERIFY(writeFile(notes, text));
    QVERIFY(QDir().mkpath(QFile::decodeName(state + "/runs")));
    const QByteArray path = state + '/' + where;
    if (what == "link")
        QVERIFY(::symlink(notes.constData(), path.constData()) == 0);
    else if (what == "file")
        QVERIFY(writeFile(path, text));
    else
        QVERIFY(::mkfifo(path.constData(), 0600) == 0);
    // The operation is done; undo is said to be unavailable, once.
    FakePrompter prompter;
    QVERIFY(files::journaledRename(prompter, inFolder(m_f, "a"), "z").ok);
    QCOMPARE(prompter.errors.size(), where == "journal" ? 1 : 0);
    files::UndoJournal journal(state);
    QCOMPARE(journal.intents().size(), 0u);
    QCOMPARE(files::undoLast(prompter, journal).found, where != "journal");
    QVERIFY(QFileInfo(QFile::decodeName(path)).isSymLink() == (what == "link"));
    QFile file(QFile::decodeName(notes));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), text);
}

void TestUndo::journalRecordsWhatUndoNeeds()
{
    // The modification time to the nanosecond: a file rewritten within the same second differs.
    const QByteArray a = inFolder(m_f, "a");
    const timespec times[2] = {{1700000000, 123456789}, {1700000000, 123456789}};
    QVERIFY(::utimensat(AT_FDCWD, a.constData(), times, AT_SYMLINK_NOFOLLOW) == 0);
    QCOMPARE(files::stampOf(a).mtimeNs, 1700000000123456789LL);
    // A folder copied into one that was there before is merged: its undo would take the older
    // content along, so it is not journaled.
    QVERIFY(makeFolder(inFolder(m_f, "sub")) && makeFolder(inFolder(m_g, "sub")));
    QVERIFY(writeFile(inFolder(m_g, "sub/old"), "older content"));
    FakePrompter prompter;
    QVERIFY(
        files::journaledCopy(prompter, "copy", {inFolder(m_f, "sub")}, {inFolder(m_g, "sub")}).ok);
    QVERIFY(files::UndoJournal(files::UndoJournal::defaultFolder()).entries().empty());
}

void TestUndo::killedMoveIsFinishedAndUndone_data()
{
    QTest::addColumn<QByteArray>(
        "killed"); // what is killed (SIGKILL), at each of its steps in turn
    QTest::addColumn<QByteArray>("then"); // what the user does next
    QTest::newRow("folder move across, recovered") << QByteArray("move") << QByteArray("recover");
    QTest::newRow("folder move across, run again") << QByteArray("move") << QByteArray("rerun");
    QTest::newRow("folder move across, undone") << QByteArray("move") << QByteArray("undo");
    QTest::newRow("its undo, undone again") << QByteArray("undo") << QByteArray("undo");
    QTest::newRow("its undo, recovered") << QByteArray("undo") << QByteArray("recover");
}

void TestUndo::killedMoveIsFinishedAndUndone()
{
    QFETCH(QByteArray, killed);
    QFETCH(QByteArray, then);
    files::FileSystemSeams across; // every rename fails as across file systems
    across.renameError = [](const QByteArray &, const QByteArray &) {
        return EXDEV;
    };
    const QByteArray from = inFolder(m_f, "d");
    const QByteArray to = inFolder(m_g, "d");
    const auto move = [&](files::Prompter &p) {
        return files::journaledMove(p, "move", {from}, {to}, across);
    };
    bool finished = false;
    int killAt = 1;
    for (; !finished; ++killAt) {
        QVERIFY2(killAt < 50, "never finished");
        QVERIFY(removeContents(nativeOf(*m_dir)) && makeFolder(m_f) && makeFolder(m_g)
            && makeFolder(from) && makeFolder(inFolder(from, "sub")));
        for (const char *name : {"d/a", "d/b", "d/sub/c"})
            QVERIFY(writeFile(inFolder(m_f, name), QByteArray(4000, *name) + name));
        const QMap<QByteArray, QByteArray> before = tree(m_f);
        FakePrompter prompter;
        files::UndoJournal journal(files::UndoJournal::defaultFolder());
        if (killed == "undo")
            QVERIFY(move(prompter).ok);
        const pid_t child = ::fork();
        if (child == 0) {
            FakePrompter dying;
            dying.onStep = [killAt](int step) {
                if (step == killAt)
                    ::raise(SIGKILL);
            };
            files::UndoJournal own(files::UndoJournal::defaultFolder());
            if (killed == "move")
                (void)move(dying);
            else
                (void)files::undoLast(dying, own, across);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        finished = WIFEXITED(status);
        if (then == "recover")
            QCOMPARE(files::recoverRuns(prompter, journal).kept, 0);
        else if (then == "rerun")
            // Once the killed move had finished, its source is gone: said, and journaled all the
            // same.
            QVERIFY2(move(prompter).ok
                    || (prompter.errors.size() == 1 && !QFile::exists(QFile::decodeName(from))),
                qPrintable(prompter.errors.join('\n')));
        else
            (void)files::undoLast(prompter, journal);
        QString step = QStringLiteral("killed at step %1").arg(killAt);
        for (const auto &t : {tree(m_f), tree(m_g)})
            step += u' ' + QString::fromUtf8(QByteArrayList(t.keys()).join(','));
        QVERIFY2(prompter.errors.size() <= (then == "rerun" ? 1 : 0),
            qPrintable(step + prompter.errors.join('\n')));
        QVERIFY2(journal.intents().empty(), qPrintable(step));
        QVERIFY2(fileContents({tree(m_f), tree(m_g)}) == fileContents({before}), qPrintable(step));
        // What was moved is journaled: undo brings every file back.
        for (int i = 0; i < 3 && !journal.entries().empty(); ++i)
            (void)files::undoLast(prompter, journal);
        QVERIFY2(tree(m_f) == before, qPrintable(step));
        QVERIFY2(tree(m_g).isEmpty() && journal.entries().empty(), qPrintable(step));
    }
    QVERIFY(killAt > 4); // killed inside the folder more than once
}

QTEST_GUILESS_MAIN(TestUndo)
#include "tst_undo.moc"
