// SPDX-License-Identifier: GPL-3.0-or-later
// The batch rename dialog over a real main window on a temporary folder, offscreen.
#include "organise/organise_testing.h"
#include "organise/tfrene.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

namespace morvane::test {

class TestTfRene : public OrganiseTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void run_data();
    void run();
    void numbersTwoHundredPhotosInListOrder();
    void showSetsLabelsAndStartNumber_data();
    void showSetsLabelsAndStartNumber();
    void historyKeepsEachPatternOnceWhateverTheCase();
    void enterInThePatternRuns();
    void layoutFollowsTheDesign();
    void previewBesideTheControls();

private:
    std::unique_ptr<TfRene> m_rene;
};

void TestTfRene::init()
{
    QVERIFY(makePics());
    m_prompter = std::make_unique<FakePrompter>();
    m_messages.clear();
    m_rene = std::make_unique<TfRene>();
    m_rene->setPrompter(m_prompter.get());
    m_rene->setMessageShower([this](QMessageBox::Icon, const QString &, const QString &text) {
        m_messages << text;
    });
}

void TestTfRene::cleanup()
{
    m_rene.reset();
    closeMain();
    clearDesk();
}

using Files = std::map<QString, QString>;

void TestTfRene::run_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<bool>("clearBeforeRun");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("captions"); // the list afterwards, in list order
    QTest::addColumn<Files>("disk"); // name -> contents afterwards
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("refused"); // failures reported apart from the run's one box
    QTest::addColumn<QString>("edit3");
    QTest::addColumn<bool>("closed");

    const QString grammar = QStringLiteral("閉じる<>\\*?/文法が違います。");
    const QString cut = QStringLiteral(
        "新しいファイル名で全角文字が途中で切れるため、このファイルの名前は変更しません。");
    QTest::newRow("two files from 5")
        << QStringList {"a.jpg", "b.jpg"} << QStringList {"a.jpg", "b.jpg"} << false << "img\\2\\"
        << "5" << QStringList {"img05.jpg", "img06.jpg"}
        << Files {{"img05.jpg", "a.jpg"}, {"img06.jpg", "b.jpg"}} << QStringList() << 0
        << "img06.jpg" << true;
    QTest::newRow("case only is a rename")
        << QStringList {"A.JPG"} << QStringList {"A.JPG"} << false << "*9*.*"
        << "1" << QStringList {"a.jpg"} << Files {{"a.jpg", "A.JPG"}} << QStringList() << 0
        << "a.jpg" << true;
    QTest::newRow("names the run frees are taken in an order that works")
        << QStringList {"1.jpg", "2.jpg", "3.jpg"} << QStringList {"1.jpg", "2.jpg", "3.jpg"}
        << false << "\\1\\"
        << "2" << QStringList {"2.jpg", "3.jpg", "4.jpg"}
        << Files {{"2.jpg", "1.jpg"}, {"3.jpg", "2.jpg"}, {"4.jpg", "3.jpg"}} << QStringList() << 0
        << "4.jpg" << true;
    const QString taken = QStringLiteral("フォルダーに同じ名前のものがあります");
    const auto summary = [](const QStringList &lines) {
        return QStringLiteral("次の %1 個のファイルの名前は変更できませんでした。\n\n")
                   .arg(lines.size())
            + lines.join(QLatin1Char('\n'));
    };
    QTest::newRow("a name held outside the run is refused, nothing overwritten")
        << QStringList {"1.jpg", "2.jpg", "3.jpg"} << QStringList {"1.jpg", "2.jpg"} << false
        << "\\1\\"
        << "2" << QStringList {"1.jpg", "2.jpg", "3.jpg"}
        << Files {{"1.jpg", "1.jpg"}, {"2.jpg", "2.jpg"}, {"3.jpg", "3.jpg"}}
        << QStringList {summary({"1.jpg → 2.jpg: 「2.jpg」は名前を変えられずに残るため使えません",
               "2.jpg → 3.jpg: " + taken})}
        << 0 << "" << true;
    // photo1 is not selected: every rename of the chain behind it is refused, in one box.
    QTest::newRow("a chain behind a kept name: one box")
        << QStringList {"photo1.jpg", "photo2.jpg", "photo3.jpg", "photo4.jpg", "photo5.jpg"}
        << QStringList {"photo2.jpg", "photo3.jpg", "photo4.jpg", "photo5.jpg"} << false
        << "photo\\1\\"
        << "1" << QStringList {"photo1.jpg", "photo2.jpg", "photo3.jpg", "photo4.jpg", "photo5.jpg"}
        << Files {{"photo1.jpg", "photo1.jpg"},
               {"photo2.jpg", "photo2.jpg"},
               {"photo3.jpg", "photo3.jpg"},
               {"photo4.jpg", "photo4.jpg"},
               {"photo5.jpg", "photo5.jpg"}}
        << QStringList {summary({"photo2.jpg → photo1.jpg: " + taken,
               "photo3.jpg → photo2.jpg: 「photo2.jpg」は名前を変えられずに残るため使えません",
               "photo4.jpg → photo3.jpg: 「photo3.jpg」は名前を変えられずに残るため使えません",
               "photo5.jpg → photo4.jpg: 「photo4.jpg」は名前を変えられずに残るため使えません"})}
        << 0 << "" << true;
    QTest::newRow("what can be renamed is, the last name given is kept")
        << QStringList {"a.jpg", "b.jpg", "p1.jpg"} << QStringList {"a.jpg", "b.jpg"} << false
        << "p\\1\\"
        << "1" << QStringList {"a.jpg", "p1.jpg", "p2.jpg"}
        << Files {{"a.jpg", "a.jpg"}, {"p1.jpg", "p1.jpg"}, {"p2.jpg", "b.jpg"}}
        << QStringList {summary({"a.jpg → p1.jpg: " + taken})} << 0 << "p2.jpg" << true;
    QTest::newRow("one name twice: the second file keeps its own")
        << QStringList {"a.jpg", "b.jpg"} << QStringList {"a.jpg", "b.jpg"} << false << "x"
        << "1" << QStringList {"b.jpg", "x.jpg"} << Files {{"x.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}}
        << QStringList {summary({"b.jpg → x.jpg: ほかのファイルも同じ名前になります"})} << 0
        << "x.jpg" << true;
    QTest::newRow("the item moves to its sorted place")
        << QStringList {"a.jpg", "m.jpg", "z.jpg"} << QStringList {"a.jpg"} << false << "zz"
        << "1" << QStringList {"m.jpg", "z.jpg", "zz.jpg"}
        << Files {{"m.jpg", "m.jpg"}, {"z.jpg", "z.jpg"}, {"zz.jpg", "a.jpg"}} << QStringList() << 0
        << "zz.jpg" << true;
    QTest::newRow("a cut double-byte name is refused alone")
        << QStringList {"ab.jpg", "写真.jpg", "cd.jpg"}
        << QStringList {"ab.jpg", "写真.jpg", "cd.jpg"} << false << "\\1\\<3<"
        << "1" << QStringList {"1ab.jpg", "2cd.jpg", "写真.jpg"}
        << Files {{"1ab.jpg", "ab.jpg"}, {"2cd.jpg", "cd.jpg"}, {"写真.jpg", "写真.jpg"}}
        << QStringList {summary({"写真.jpg: " + cut})} << 0 << "2cd.jpg" << true;
    QTest::newRow("selection cleared while open")
        << QStringList {"a.jpg"} << QStringList {"a.jpg"} << true << "x"
        << "1" << QStringList {"a.jpg"} << Files {{"a.jpg", "a.jpg"}} << QStringList() << 0 << ""
        << true;
    QTest::newRow("pattern error: nothing renamed, stays open")
        << QStringList {"a.jpg", "b.jpg"} << QStringList {"a.jpg", "b.jpg"} << false << "<3>"
        << "7" << QStringList {"a.jpg", "b.jpg"} << Files {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}}
        << QStringList {grammar} << 0 << "" << false;
    QTest::newRow("start not an integer: stays open")
        << QStringList {"a.jpg", "b.jpg"} << QStringList {"a.jpg", "b.jpg"} << false << "n\\1\\"
        << "1x" << QStringList {"a.jpg", "b.jpg"} << Files {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}}
        << QStringList {QStringLiteral("'1x' は整数ではありません")} << 0 << "" << false;
    QTest::newRow("empty start runs from 0")
        << QStringList {"a.jpg", "b.jpg"} << QStringList {"a.jpg", "b.jpg"} << false << "n\\1\\"
        << "" << QStringList {"n0.jpg", "n1.jpg"}
        << Files {{"n0.jpg", "a.jpg"}, {"n1.jpg", "b.jpg"}}
        << QStringList {QStringLiteral("連番の開始番号を入力してください")} << 0 << "n1.jpg"
        << true;
    QTest::newRow("empty pattern: stays open")
        << QStringList {"a.jpg"} << QStringList {"a.jpg"} << false << ""
        << "1" << QStringList {"a.jpg"} << Files {{"a.jpg", "a.jpg"}}
        << QStringList {QStringLiteral("新しいファイル名を入力してください。")} << 0 << "" << false;
}

void TestTfRene::run()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, selected);
    QFETCH(bool, clearBeforeRun);
    QFETCH(QString, pattern);
    QFETCH(QString, start);
    QFETCH(QStringList, captions);
    QFETCH(Files, disk);
    QFETCH(QStringList, messages);
    QFETCH(int, refused);
    QFETCH(QString, edit3);
    QFETCH(bool, closed);

    QVERIFY(openPics(files));
    selectNames(selected);
    m_rene->show();
    if (clearBeforeRun)
        m_main->ListView1->selectionModel()->clearSelection();
    m_rene->ComboBox1->setEditText(pattern);
    m_rene->Edit2->setText(start);
    QTest::mouseClick(m_rene->BitBtn1, Qt::LeftButton);

    QCOMPARE(m_messages, messages);
    QCOMPARE(m_prompter->errors.size(), refused);
    QCOMPARE(test::captions(*m_main->listModel()), captions);
    QCOMPARE(picsOnDisk(), disk);
    QCOMPARE(m_rene->Edit3->text(), edit3);
    QCOMPARE(m_rene->isVisible(), !closed);
    QCOMPARE(m_rene->Edit2->text(), closed ? QStringLiteral("1") : start);
    // The selected names are those of the selected items, as renamed.
    QStringList expectedSelected;
    for (int row = 0; row < m_main->listModel()->count(); ++row) {
        if (m_main->ListView1->selectionModel()->isRowSelected(row))
            expectedSelected << m_main->listModel()->entry(row).caption;
    }
    QCOMPARE(selectedCaptions(), expectedSelected);
}

void TestTfRene::numbersTwoHundredPhotosInListOrder()
{
    QStringList files;
    QStringList expected;
    for (int i = 1; i <= 200; ++i) {
        files << QStringLiteral("DSC%1.JPG").arg(1000 - i); // list order: DSC800 ... DSC999
        expected << QStringLiteral("img%1.JPG").arg(i, 4, 10, QLatin1Char('0'));
    }
    QVERIFY(openPics(files));
    m_main->ListView1->selectAll();
    m_rene->ComboBox1->setEditText(QStringLiteral("img\\4\\"));
    m_rene->BitBtn1Click();
    QCOMPARE(captions(*m_main->listModel()), expected);
    const Files disk = picsOnDisk();
    QCOMPARE(disk.at(QStringLiteral("img0001.JPG")), QStringLiteral("DSC800.JPG"));
    QCOMPARE(disk.at(QStringLiteral("img0200.JPG")), QStringLiteral("DSC999.JPG"));
    QCOMPARE(m_main->SelectedNames.size(), 200);
    QCOMPARE(m_main->SelectedNames.back(), QByteArray("img0200.JPG"));
}

void TestTfRene::showSetsLabelsAndStartNumber_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("edit1");
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<QString>("startText"); // after "abc" was left in the start number
    QTest::newRow("three") << QStringList {"b.jpg", "c.jpg", "d.jpg"}
                           << "現在のファイル名　(選択　3　file)"
                           << "b.jpg" << true << "abc";
    QTest::newRow("one: a start number out of reach goes back to 1")
        << QStringList {"c.jpg"} << "現在のファイル名　(選択　1　file)"
        << "c.jpg" << false << "1";
    QTest::newRow("none keeps the labels") << QStringList() << "現在のファイル名"
                                           << "" << false << "1";
}

void TestTfRene::showSetsLabelsAndStartNumber()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, label1);
    QFETCH(QString, edit1);
    QFETCH(bool, startEnabled);
    QFETCH(QString, startText);
    QVERIFY(openPics({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
    m_rene->Edit2->setText(QStringLiteral("abc")); // refused by an earlier run on several files
    selectNames(selected);
    m_rene->show();
    QCOMPARE(m_rene->Label1->text(), label1);
    QCOMPARE(m_rene->Edit1->text(), edit1);
    QCOMPARE(m_rene->Edit2->isEnabled(), startEnabled);
    QCOMPARE(m_rene->Label3->isEnabled(), startEnabled);
    QCOMPARE(m_rene->Edit2->text(), startText);
}

void TestTfRene::historyKeepsEachPatternOnceWhateverTheCase()
{
    QVERIFY(openPics({"a.jpg"}));
    // No file is selected: each run only records its pattern, a faulty one too.
    for (const char *p : {"Img\\2\\", "img\\2\\", "<3>", "IMG\\2\\", "x"}) {
        m_rene->ComboBox1->setEditText(QString::fromUtf8(p));
        m_rene->BitBtn1Click();
    }
    QStringList items;
    for (int i = 0; i < m_rene->ComboBox1->count(); ++i)
        items << m_rene->ComboBox1->itemText(i);
    QCOMPARE(items, QStringList({"Img\\2\\", "<3>", "x"}));
    QCOMPARE(m_rene->ComboBox1->currentText(), QStringLiteral("x"));
}

void TestTfRene::enterInThePatternRuns()
{
    QVERIFY(openPics({"a.jpg", "b.jpg"}));
    selectNames({"a.jpg", "b.jpg"});
    m_rene->show();
    QTest::keyClicks(m_rene->ComboBox1->lineEdit(), QStringLiteral("p\\1\\"));
    QTest::keyClick(m_rene->Edit2, Qt::Key_Backspace);
    QTest::keyClicks(m_rene->Edit2, QStringLiteral("8"));
    QTest::keyClick(m_rene->Edit2, Qt::Key_Return);
    QCOMPARE(captions(*m_main->listModel()), QStringList({"p8.jpg", "p9.jpg"}));
    QCOMPARE(m_rene->ComboBox1->count(), 1); // Enter itself adds nothing
    QVERIFY(!m_rene->isVisible());
}

void TestTfRene::layoutFollowsTheDesign()
{
    QCOMPARE(m_rene->pos(), QPoint(191, 113));
    QCOMPARE(m_rene->ComboBox1->geometry(), QRect(8, 80, 193, 20));
    QCOMPARE(m_rene->Memo1->geometry(), QRect(8, 224, 193, 97));
    QCOMPARE(m_rene->Memo1->toPlainText().split(QLatin1Char('\n')).size(), 24);
    // Wider and taller by 50: the edits and memo stretch, the buttons keep to the corner.
    m_rene->show(); // a hidden window gets its resize event only when shown
    // The help's long lines bring no horizontal bar: it would hide a line of the 97 pixels.
    QVERIFY(m_rene->Memo1->verticalScrollBar()->isVisible());
    QVERIFY(!m_rene->Memo1->horizontalScrollBar()->isVisible());
    m_rene->resize(m_rene->width() + 50, m_rene->height() + 50);
    QCOMPARE(m_rene->Edit2->geometry(), QRect(8, 128, 243, 20));
    QCOMPARE(m_rene->Memo1->geometry(), QRect(8, 224, 243, 147));
    QCOMPARE(m_rene->BitBtn2->geometry(), QRect(170, 378, 75, 25));
    // Tab order.
    m_rene->Edit2->setEnabled(true); // as with several files selected
    QCOMPARE(nextTabStop(m_rene->ComboBox1), m_rene->Edit2);
    QCOMPARE(nextTabStop(m_rene->Edit2), m_rene->BitBtn1);
    QCOMPARE(nextTabStop(m_rene->BitBtn1), m_rene->BitBtn2);
    QCOMPARE(nextTabStop(m_rene->BitBtn2), m_rene->ComboBox1);
}

void TestTfRene::previewBesideTheControls()
{
    QVERIFY(openPics({"a.jpg", "b.jpg", "p1.jpg"}));
    selectNames({"a.jpg", "b.jpg"});
    m_rene->show();
    m_rene->previewButton()->click();
    QVERIFY(m_rene->previewList()->isVisible());
    QCOMPARE(m_rene->width(), 210 + 420);
    QCOMPARE(m_rene->ComboBox1->geometry(), QRect(8, 80, 193, 20));
    QCOMPARE(m_rene->BitBtn2->geometry(), QRect(120, 328, 75, 25));
    QTest::keyClicks(m_rene->ComboBox1->lineEdit(), QStringLiteral("p\\1\\"));
    QTreeWidget *list = m_rene->previewList();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("p1.jpg"));
    QCOMPARE(
        list->topLevelItem(0)->text(2), QStringLiteral("フォルダーに同じ名前のものがあります"));
    QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("p2.jpg"));
    QCOMPARE(list->topLevelItem(1)->text(2), QString());
    QTest::keyClicks(m_rene->Edit2, QStringLiteral("x"));
    QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("'1x' は整数ではありません"));
    m_rene->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_rene.get()));
    QTest::keyClick(m_rene.get(), Qt::Key_P, Qt::AltModifier); // the button's key
    QTRY_VERIFY(!m_rene->previewList()->isVisible());
    QCOMPARE(m_rene->width(), 210);
}

} // namespace morvane::test

QTEST_MAIN(morvane::test::TestTfRene)
#include "tst_tfrene.moc"
