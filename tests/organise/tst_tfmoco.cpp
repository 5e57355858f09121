// SPDX-License-Identifier: GPL-3.0-or-later
// The copy, move and new-folder dialog over a real main window on a temporary folder, offscreen.
#include "organise/organise_testing.h"
#include "organise/tfmoco.h"
#include "platform/foldertree.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace morvane::test {

class TestTfMoco : public OrganiseTest
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void newFolder_data();
    void newFolder();
    void transfer_data();
    void transfer();
    void historyKeepsEachFolderOnceWhateverTheCase();
    void layoutFollowsTheDesign();

private:
    [[nodiscard]] QStringList history() const;

    std::unique_ptr<TfMoco> m_moco;
};

void TestTfMoco::init()
{
    QVERIFY(makePics());
    QVERIFY(makeFolder(inFolder(m_desk, "dest")));
    QVERIFY(makeFolder(inFolder(m_desk, "dest/old")));
    m_prompter = std::make_unique<FakePrompter>();
    m_messages.clear();
    m_moco = std::make_unique<TfMoco>(QFile::decodeName(m_desk));
    m_moco->setPrompter(m_prompter.get());
    m_moco->setMessageShower(
        [this](QMessageBox::Icon icon, const QString &caption, const QString &text) {
            m_messages << QStringLiteral("%1|%2|%3").arg(int(icon)).arg(caption, text);
        });
}

void TestTfMoco::cleanup()
{
    m_moco.reset();
    closeMain();
    clearDesk();
}

QStringList TestTfMoco::history() const
{
    QStringList out;
    for (int i = 0; i < m_moco->ComboBox1->count(); ++i)
        out << m_moco->ComboBox1->itemText(i);
    return out;
}

const QString kInfo = QStringLiteral("%1|情報|").arg(int(QMessageBox::Information));
const QString kWarn = QStringLiteral("%1|警告|").arg(int(QMessageBox::Warning));

void TestTfMoco::newFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("made"); // dest/<name> is a folder afterwards
    QTest::addColumn<bool>("selectsIt");
    QTest::addColumn<QString>("history"); // relative to the desktop folder; "-" none, "" empty
    QTest::newRow("new name: made and selected") << "新規" << QStringList() << true << true << "-";
    QTest::newRow("existing name fails")
        << "old" << QStringList {kWarn + "失敗しました・・・"} << true << false << "dest/old";
    QTest::newRow("empty name") << "" << QStringList {kInfo + "フォルダ名を入力してください。"}
                                << false << false << "";
    QTest::newRow("slash refused")
        << "a/b" << QStringList {kWarn + "フォルダ名に「/」は使えません。"} << false << false
        << "-";
}

void TestTfMoco::newFolder()
{
    QFETCH(QString, name);
    QFETCH(QStringList, messages);
    QFETCH(bool, made);
    QFETCH(bool, selectsIt);
    QFETCH(QString, history);
    const QByteArray dest = inFolder(m_desk, "dest");
    QVERIFY(m_moco->ShellTreeView1->selectPath(dest));
    m_moco->show();
    m_moco->Edit1->setText(name);
    QTest::keyClick(m_moco->Edit1, Qt::Key_Return);

    QCOMPARE(m_messages, messages);
    const QString madePath = QFile::decodeName(dest) + QLatin1Char('/') + name;
    QCOMPARE(QFileInfo(madePath).isDir() && !name.isEmpty(), made);
    QCOMPARE(
        m_moco->ShellTreeView1->selectedPath(), selectsIt ? madePath : QFile::decodeName(dest));
    QCOMPARE(m_moco->ComboBox1->currentText(), m_moco->ShellTreeView1->selectedPath());
    const QStringList expected = history == u"-" ? QStringList()
        : history.isEmpty()                      ? QStringList {QString()}
                            : QStringList {QFile::decodeName(inFolder(m_desk, history.toUtf8()))};
    QCOMPARE(this->history(), expected);
    QVERIFY(m_moco->isVisible()); // a new folder leaves the dialog open
    QVERIFY(!QFileInfo::exists(QFile::decodeName(inFolder(m_desk, "dest/a"))));
}

void TestTfMoco::transfer_data()
{
    QTest::addColumn<bool>("moving");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("typed"); // the destination typed, "" for the tree's dest
    QTest::addColumn<QStringList>("inDest"); // dest's files afterwards
    QTest::addColumn<QStringList>("captions"); // the list afterwards
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("closed");
    const QStringList all {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"};
    QTest::newRow("move of three removes exactly those")
        << true << QStringList {"b.jpg", "d.jpg", "f.jpg"} << ""
        << QStringList {"b.jpg", "d.jpg", "f.jpg", "x.jpg"}
        << QStringList {"a.jpg", "c.jpg", "e.jpg", "x.jpg"} << QStringList() << true;
    QTest::newRow("move refused for an existing target keeps every item")
        << true << QStringList {"a.jpg", "x.jpg"} << "" << QStringList {"a.jpg", "x.jpg"}
        << all + QStringList {"x.jpg"} << QStringList() << true;
    QTest::newRow("copy to a typed folder leaves the list")
        << false << QStringList {"a.jpg", "c.jpg"} << "dest/old" << QStringList {"x.jpg"}
        << all + QStringList {"x.jpg"} << QStringList() << true;
    QTest::newRow("nothing selected")
        << false << QStringList() << "" << QStringList {"x.jpg"} << all + QStringList {"x.jpg"}
        << QStringList {kInfo + "ファイルが選択されていません。"} << true;
    QTest::newRow("relative destination refused")
        << true << QStringList {"a.jpg"} << "rel" << QStringList {"x.jpg"}
        << all + QStringList {"x.jpg"}
        << QStringList {kWarn + "「rel」はフォルダのフルパスではありません。"} << false;
}

void TestTfMoco::transfer()
{
    QFETCH(bool, moving);
    QFETCH(QStringList, selected);
    QFETCH(QString, typed);
    QFETCH(QStringList, inDest);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, messages);
    QFETCH(bool, closed);
    const QByteArray dest = inFolder(m_desk, "dest");
    QVERIFY(writeFile(inFolder(dest, "x.jpg"), "dest's own x"));
    QVERIFY(openPics({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg", "x.jpg"}));
    selectNames(selected);
    QVERIFY(m_moco->ShellTreeView1->selectPath(dest));
    m_moco->show();
    QString destination = QFile::decodeName(dest);
    if (typed == u"rel")
        destination = typed;
    else if (!typed.isEmpty())
        destination = QFile::decodeName(inFolder(m_desk, typed.toUtf8()));
    m_moco->ComboBox1->setEditText(destination);
    QTest::mouseClick(moving ? m_moco->BitBtn3 : m_moco->BitBtn2, Qt::LeftButton);

    QCOMPARE(m_messages, messages);
    QCOMPARE(QDir(QFile::decodeName(dest)).entryList(QDir::Files), inDest);
    QCOMPARE(test::captions(*m_main->listModel()), captions);
    QCOMPARE(m_main->censusText(), listCensus(*m_main->listModel())); // without 更新
    QVERIFY(m_main->panelText(0).startsWith(m_main->censusText()));
    QCOMPARE(m_moco->isVisible(), !closed);
    QCOMPARE(history(), QStringList {destination});
    QCOMPARE(m_moco->destinationPath(), destination);
    // Nothing was replaced, whatever happened.
    QFile x(QFile::decodeName(inFolder(dest, "x.jpg")));
    QVERIFY(x.open(QIODevice::ReadOnly));
    QCOMPARE(x.readAll(), QByteArray("dest's own x"));
    if (!typed.isEmpty() && typed != u"rel") {
        QCOMPARE(QDir(destination).entryList(QDir::Files), selected);
        QCOMPARE(picsOnDisk().size(), 7); // a copy leaves the sources
    }
}

void TestTfMoco::historyKeepsEachFolderOnceWhateverTheCase()
{
    for (const char *f : {"/tmp/Pics", "/tmp/pics", "/tmp/PICS/x", "/TMP/PICS"})
        m_moco->addHistory(QString::fromUtf8(f));
    QCOMPARE(history(), QStringList({"/tmp/Pics", "/tmp/PICS/x"}));
}

void TestTfMoco::layoutFollowsTheDesign()
{
    QCOMPARE(m_moco->pos(), QPoint(299, 176));
    QCOMPARE(m_moco->ShellTreeView1->geometry(), QRect(8, 56, 384, 113));
    QCOMPARE(m_moco->BitBtn4->geometry(), QRect(319, 314, 75, 29));
    m_moco->show(); // a hidden window gets its resize event only when shown
    m_moco->resize(m_moco->width() + 40, m_moco->height() + 30);
    QCOMPARE(m_moco->ShellTreeView1->geometry(), QRect(8, 56, 424, 143));
    QCOMPARE(m_moco->Edit1->geometry(), QRect(8, 221, 425, 20));
    QCOMPARE(m_moco->BitBtn1->geometry(), QRect(95, 344, 75, 29));
    QCOMPARE(nextTabStop(m_moco->ShellTreeView1), m_moco->ComboBox1);
    QCOMPARE(nextTabStop(m_moco->BitBtn4), m_moco->Edit1);
}

} // namespace morvane::test

QTEST_MAIN(morvane::test::TestTfMoco)
#include "tst_tfmoco.moc"
