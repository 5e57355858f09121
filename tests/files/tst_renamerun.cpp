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

} // namespace

class TestRenameRun : public QObject
{
    Q_OBJECT

private slots:
    void killedAtEveryStep_data();
    void killedAtEveryStep();
    void refusedItemLeavesTheRestGoing();
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
        const pid_t child = ::fork();
        if (child == 0) {
            FakePrompter prompter;
            files::UndoJournal journal(state);
            (void)files::renameRun(
                prompter, journal, folder, run, "rename", [killAt](std::size_t k) {
                    if (k == killAt)
                        ::kill(::getpid(), SIGKILL);
                });
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        finished = WIFEXITED(status);
        QVERIFY(finished || WTERMSIG(status) == SIGKILL);

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

QTEST_GUILESS_MAIN(TestRenameRun)
#include "tst_renamerun.moc"
