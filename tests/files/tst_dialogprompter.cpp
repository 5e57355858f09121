// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/dialogprompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

using morvane::files::DialogPrompter;
using morvane::files::ReplaceAnswer;

Q_DECLARE_METATYPE(morvane::files::ReplaceAnswer)

class TestDialogPrompter : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void replaceQuestion_data();
    void replaceQuestion();
    void progressDialogCancels();
    void aQuestionPausesTheProgress_data();
    void aQuestionPausesTheProgress();
};

void TestDialogPrompter::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestDialogPrompter::replaceQuestion_data()
{
    QTest::addColumn<bool>("more"); // other items follow
    QTest::addColumn<QString>("press"); // a button's text, or "Escape" / "Return"
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<ReplaceAnswer>("answer");
    const QStringList all {QStringLiteral("いいえ"),
        QStringLiteral("すべてはい"),
        QStringLiteral("はい"),
        QStringLiteral("キャンセル")};
    QStringList single = all;
    single.removeOne(QStringLiteral("すべてはい"));
    QTest::newRow("yes") << true << QStringLiteral("はい") << all << ReplaceAnswer::Yes;
    QTest::newRow("yes to all") << true << QStringLiteral("すべてはい") << all
                                << ReplaceAnswer::YesToAll;
    QTest::newRow("no") << true << QStringLiteral("いいえ") << all << ReplaceAnswer::No;
    QTest::newRow("cancel") << true << QStringLiteral("キャンセル") << all << ReplaceAnswer::Cancel;
    QTest::newRow("escape cancels")
        << true << QStringLiteral("Escape") << all << ReplaceAnswer::Cancel;
    QTest::newRow("enter keeps the old file, last item without yes to all")
        << false << QStringLiteral("Return") << single << ReplaceAnswer::No;
}

void TestDialogPrompter::replaceQuestion()
{
    QFETCH(bool, more);
    QFETCH(QString, press);
    QFETCH(QStringList, offered);
    QFETCH(ReplaceAnswer, answer);
    QStringList texts;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        QVERIFY(box->text().contains(QStringLiteral("「b.jpg」という名前のファイルがあります")));
        for (QAbstractButton *b : box->buttons())
            texts << b->text();
        if (press == u"Escape" || press == u"Return")
            QTest::keyClick(box, press == u"Escape" ? Qt::Key_Escape : Qt::Key_Return);
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == press)
                b->click();
        }
    });
    DialogPrompter prompter;
    QCOMPARE(prompter.askReplace("/nowhere/a.jpg", "/nowhere/b.jpg", more), answer);
    texts.sort();
    offered.sort();
    QCOMPARE(texts, offered);
}

void TestDialogPrompter::progressDialogCancels()
{
    DialogPrompter prompter;
    prompter.progressStarted(QStringLiteral("コピーしています"), 100);
    QVERIFY(prompter.progressed(10, "/x/a.jpg"));
    // A request this short shows no dialog (it appears after about half a second).
    QVERIFY(!prompter.progressDialog()->isVisible());
    prompter.progressDialog()->cancel();
    QVERIFY(!prompter.progressed(20, "/x/a.jpg"));
    prompter.progressFinished();
    QVERIFY(prompter.progressDialog() == nullptr);
}

void TestDialogPrompter::aQuestionPausesTheProgress_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("replace question") << QStringLiteral("replace");
    QTest::newRow("yes/no question") << QStringLiteral("confirm");
    QTest::newRow("error report") << QStringLiteral("error");
}

void TestDialogPrompter::aQuestionPausesTheProgress()
{
    QFETCH(QString, kind);
    DialogPrompter prompter;
    // Held open for `holdMs`, then answered; meanwhile the progress must neither show nor cover
    // the box.
    auto ask = [&](int holdMs) {
        bool onTop = false;
        bool progressHidden = false;
        QTimer::singleShot(holdMs, this, [&] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box == nullptr || !box->isVisible())
                    continue;
                onTop = QApplication::activeModalWidget() == box;
                progressHidden = !prompter.progressDialog()->isVisible();
                box->done(QMessageBox::No);
            }
        });
        if (kind == u"replace")
            (void)prompter.askReplace("/nowhere/a.jpg", "/nowhere/b.jpg", true);
        else if (kind == u"confirm")
            (void)prompter.confirm(QStringLiteral("完全に削除しますか？"));
        else
            prompter.reportError(QStringLiteral("失敗しました"));
        QVERIFY(onTop);
        QVERIFY(progressHidden);
    };
    prompter.progressStarted(QStringLiteral("コピーしています"), 1000);
    ask(700); // longer than the progress waits before it appears
    QVERIFY(prompter.progressed(999, "/x/a.jpg"));
    QVERIFY(!prompter.progressDialog()->isVisible()); // the wait for the answer was no work
    QTest::qWait(600);
    QVERIFY(prompter.progressed(999, "/x/a.jpg"));
    QVERIFY(prompter.progressDialog()->isVisible());
    ask(50);
    QVERIFY(prompter.progressed(1000, "/x/a.jpg"));
    QVERIFY(prompter.progressDialog()->isVisible()); // work goes on: the progress is back
    prompter.progressFinished();
}

QTEST_MAIN(TestDialogPrompter)
#include "tst_dialogprompter.moc"
