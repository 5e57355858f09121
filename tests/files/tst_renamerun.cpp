// SPDX-License-Identifier: GPL-3.0-or-later
// Rename runs carried out on a real folder, and killed (SIGKILL) before each of their renames:
// after recovery every file holds its old or its new name, never a temporary one.
#include "files/renamerun.h"
#include "files/undojournal.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace morvane;
using namespace morvane::test;

namespace {

using Renames = std::vector<std::pair<QByteArray, QByteArray>>;

Renames parseRenames(const char *text)
{
    Renames out;
    for (const QByteArray &pair : QByteArray(text).split(' ')) {
        const QByteArrayList parts = pair.split('>');
        out.emplace_back(parts[0], parts[1]);
    }
    return out;
}

// Runs `run` on `folder` in a child process stopped before its rename `stopAt`: killed there
// (SIGKILL), or with `pause` held there while `meanwhile` runs in this process. True when the
// run finished.
bool runInChild(const QByteArray &folder,
    const QByteArray &state,
    const Renames &run,
    std::size_t stopAt,
    bool pause = false,
    const std::function<void()> &meanwhile = {})
{
    int ready[2];
    int go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        FakePrompter prompter;
        files::UndoJournal journal(state);
        (void)files::renameRun(prompter, journal, folder, run, "rename", [&](std::size_t k) {
            if (k != stopAt)
                return;
            if (!pause)
                ::kill(::getpid(), SIGKILL);
            char c = 0;
            (void)!::write(ready[1], &c, 1);
            (void)!::read(go[0], &c, 1);
        });
        ::_exit(0);
    }
    char c = 0;
    if (pause && ::read(ready[0], &c, 1) == 1 && meanwhile)
        meanwhile();
    (void)!::write(go[1], &c, 1);
    for (const int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status);
}

// The folder as "name=content" items joined by "|", sorted by name.
QByteArray listing(const QByteArray &folder)
{
    QByteArrayList items;
    const QMap<QByteArray, QByteArray> contents = folderContents(folder);
    for (auto it = contents.begin(); it != contents.end(); ++it)
        items << it.key() + '=' + it.value();
    return items.join('|');
}

} // namespace

class TestRenameRun : public QObject
{
    Q_OBJECT

private slots:
    void killedAtEveryStep_data();
    void killedAtEveryStep();
    void refusedItemLeavesTheRestGoing();
    void recoveryNeverHidesAFile_data();
    void recoveryNeverHidesAFile();
};

void TestRenameRun::killedAtEveryStep_data()
{
    QTest::addColumn<QByteArray>("files");
    QTest::addColumn<QByteArray>("renames");
    QTest::newRow("swap") << QByteArray("A B") << QByteArray("A>B B>A");
    QTest::newRow("3-cycle") << QByteArray("A B C") << QByteArray("A>B B>C C>A");
    QTest::newRow("a swap beside a 3-cycle")
        << QByteArray("a b c d e") << QByteArray("a>b b>a c>d d>e e>c");
}

void TestRenameRun::killedAtEveryStep()
{
    QFETCH(QByteArray, files);
    QFETCH(QByteArray, renames);
    const Renames run = parseRenames(renames.constData());
    bool finished = false;
    for (std::size_t killAt = 0; !finished; ++killAt) {
        QVERIFY2(killAt < 20, "the run never finished");
        QTemporaryDir dir;
        const QByteArray folder = inFolder(nativeOf(dir), "f");
        const QByteArray state = inFolder(nativeOf(dir), "xdg/morvane");
        QVERIFY(makeFolder(folder));
        for (const QByteArray &name : files.split(' '))
            QVERIFY(writeFile(inFolder(folder, name), "content of " + name));
        finished = runInChild(folder, state, run, killAt);
        // Every other time as a user would: morvane-cli undo --recover.
        FakePrompter prompter;
        files::UndoJournal journal(state);
        if (killAt % 2 == 0) {
            (void)files::recoverRuns(prompter, journal);
        } else {
            QProcess cli;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("xdg")));
            cli.setProcessEnvironment(env);
            cli.start(
                QStringLiteral(MORVANE_CLI), {QStringLiteral("undo"), QStringLiteral("--recover")});
            QVERIFY(cli.waitForFinished());
            QCOMPARE(cli.exitCode(), 0);
            prompter.errors << QString::fromUtf8(cli.readAllStandardError());
            prompter.errors.removeAll(QString());
        }
        QVERIFY2(prompter.errors.isEmpty(), qPrintable(prompter.errors.join('\n')));
        QVERIFY(journal.intents().empty());
        const QMap<QByteArray, QByteArray> after = folderContents(folder);
        QCOMPARE(after.size(), files.split(' ').size());
        for (const auto &[from, to] : run) {
            const QByteArray content = "content of " + from;
            QVERIFY2(after.value(from) == content || after.value(to) == content,
                qPrintable(QStringLiteral("step %1: %2 lost").arg(killAt).arg(from)));
        }
        if (finished) {
            for (const auto &[from, to] : run)
                QCOMPARE(after.value(to), "content of " + from);
        }
        // Every file that has its new name, by the run or by recovery, can be undone.
        QByteArrayList journaled;
        for (const files::journal::Entry &e : journal.entries()) {
            for (const files::journal::Item &item : e.items)
                journaled << QByteArray::fromStdString(item.to);
        }
        for (const auto &[from, to] : run) {
            if (after.value(to) == "content of " + from)
                QVERIFY2(journaled.contains(inFolder(folder, to)), qPrintable("step " + to));
        }
    }
}

void TestRenameRun::refusedItemLeavesTheRestGoing()
{
    QTemporaryDir dir;
    const QByteArray folder = nativeOf(dir);
    const QByteArray state = inFolder(folder, ".state");
    for (const char *name : {"A", "B", "C", "X"})
        QVERIFY(writeFile(inFolder(folder, name), name));
    FakePrompter prompter;
    files::UndoJournal journal(state);
    const std::vector<bool> done =
        files::renameRun(prompter, journal, folder, parseRenames("A>B B>A C>X"));
    QCOMPARE(done, (std::vector<bool> {true, true, false}));
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY(prompter.errors.front().contains(QStringLiteral("「X」")));
    const QMap<QByteArray, QByteArray> after = folderContents(folder);
    QCOMPARE(after.value("A"), "B");
    QCOMPARE(after.value("B"), "A");
    QCOMPARE(after.value("C"), "C");
    QCOMPARE(after.value("X"), "X");
    QCOMPARE(after.size(), 5); // and the state folder
    const std::vector<files::journal::Entry> entries = journal.entries();
    QCOMPARE(entries.size(), std::size_t {1});
    QCOMPARE(entries.front().items.size(), std::size_t {2});
}

void TestRenameRun::recoveryNeverHidesAFile_data()
{
    QTest::addColumn<QByteArray>("renames"); // on the files named on the left, "content of NAME"
    QTest::addColumn<int>("stopAt"); // the rename the run is killed before; -1: not killed
    QTest::addColumn<QByteArray>("meanwhile"); // what happens before recovery
    QTest::addColumn<QByteArray>("after"); // the folder after recovery
    QTest::addColumn<QByteArray>("said"); // part of the messages, or empty for none
    QTest::newRow("a new file took the name given up")
        << QByteArray("A>B B>A") << 1 << QByteArray("new A")
        << QByteArray("A=someone else's|A (復元)=content of A|B=content of B")
        << QByteArray("(復元)");
    QTest::newRow("the folder was moved out of reach: the record stays")
        << QByteArray("A>B B>A") << 1 << QByteArray("move")
        << QByteArray("A=content of B|B=content of A") << QByteArray("見つからない");
    QTest::newRow("the folder was renamed: found by its inode, finished there")
        << QByteArray("A>B B>A") << 1 << QByteArray("renamed")
        << QByteArray("A=content of B|B=content of A") << QByteArray("g」に移動していた");
    QTest::newRow("the folder was moved two levels down: found there")
        << QByteArray("A>B B>A") << 1 << QByteArray("renamed deeper")
        << QByteArray("A=content of B|B=content of A") << QByteArray("移動していた");
    QTest::newRow("a chain killed midway is finished and journaled")
        << QByteArray("g1>g2 g2>g3") << 1 << QByteArray()
        << QByteArray("g2=content of g1|g3=content of g2") << QByteArray();
    QTest::newRow("no record can be written: a cycle is not begun")
        << QByteArray("A>B B>A") << -1 << QByteArray("runs file")
        << QByteArray("A=content of A|B=content of B") << QByteArray("中断に備えた記録");
    QTest::newRow("a hard-link pair swapped keeps both names")
        << QByteArray("A>B B>A") << 1 << QByteArray("linked")
        << QByteArray("A=content of A|B=content of A") << QByteArray();
    QTest::newRow("a live run is left to itself")
        << QByteArray("A>B B>A") << 1 << QByteArray("live")
        << QByteArray("A=content of B|B=content of A") << QByteArray();
}

void TestRenameRun::recoveryNeverHidesAFile()
{
    QFETCH(QByteArray, renames);
    QFETCH(int, stopAt);
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, said);
    QTemporaryDir dir;
    const QByteArray folder = inFolder(nativeOf(dir), "f");
    QTemporaryDir away; // outside the folders searched for a moved folder
    const QByteArray moved = meanwhile == "move" ? inFolder(nativeOf(away), "g")
        : meanwhile == "renamed deeper"          ? inFolder(nativeOf(dir), "h/i/g")
                                                 : inFolder(nativeOf(dir), "g");
    const QByteArray state = inFolder(nativeOf(dir), "xdg/morvane");
    QVERIFY(makeFolder(folder) && makeFolder(inFolder(nativeOf(dir), "xdg")) && makeFolder(state));
    const Renames run = parseRenames(renames.constData());
    for (const auto &[from, to] : run)
        QVERIFY(writeFile(inFolder(folder, from), "content of " + from));
    if (meanwhile == "linked")
        QVERIFY(QFile::remove(QFile::decodeName(inFolder(folder, "B")))
            && ::link(inFolder(folder, "A").constData(), inFolder(folder, "B").constData()) == 0);
    if (meanwhile == "runs file")
        QVERIFY(writeFile(inFolder(state, "runs"), "not a folder"));
    FakePrompter prompter;
    files::UndoJournal journal(state);
    if (meanwhile == "live") {
        // Recovery while the run is alive finds nothing to do; the run goes on undisturbed.
        QVERIFY(runInChild(folder, state, run, std::size_t(stopAt), true, [&] {
            QCOMPARE(files::recoverRuns(prompter, journal).runs, 0);
        }));
    } else if (stopAt < 0) {
        (void)files::renameRun(prompter, journal, folder, run);
    } else {
        QVERIFY(!runInChild(folder, state, run, std::size_t(stopAt)));
    }
    if (meanwhile == "new A")
        QVERIFY(writeFile(inFolder(folder, "A"), "someone else's"));
    if (meanwhile.startsWith("renamed deeper"))
        QVERIFY(
            makeFolder(inFolder(nativeOf(dir), "h")) && makeFolder(inFolder(nativeOf(dir), "h/i")));
    if (meanwhile == "move" || meanwhile.startsWith("renamed")) {
        QVERIFY(::rename(folder.constData(), moved.constData()) == 0);
        QVERIFY(makeFolder(folder)); // another folder takes the old name
    }
    if (meanwhile == "move") {
        QCOMPARE(files::recoverRuns(prompter, journal).kept, 1);
        QVERIFY(::rmdir(folder.constData()) == 0
            && ::rename(moved.constData(), folder.constData()) == 0);
    }
    QCOMPARE(files::recoverRuns(prompter, journal).kept, 0);
    QCOMPARE(listing(meanwhile.startsWith("renamed") ? moved : folder), after);
    QVERIFY(journal.intents().empty());
    QVERIFY2(said.isEmpty() == prompter.errors.isEmpty(), qPrintable(prompter.errors.join('\n')));
    QVERIFY(prompter.errors.join('\n').contains(QString::fromUtf8(said)));
    // Whatever has its new name is journaled once, and undo can take it back.
    std::size_t items = 0;
    for (const files::journal::Entry &e : journal.entries())
        items += e.items.size();
    std::size_t renamed = 0;
    for (const auto &[from, to] : run)
        renamed += after.split('|').contains(to + "=content of " + from) ? 1 : 0;
    if (meanwhile != "linked") // one file under two names: each counts as renamed
        QCOMPARE(items, renamed);
}

QTEST_GUILESS_MAIN(TestRenameRun)
#include "tst_renamerun.moc"
