// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutbox.h"
#include "app/application.h"
#include "app/windowset.h"
#include "browser/tfmain.h"
#include "frame/errorreport.h"
#include "frame/usererror.h"
#include "frame/windowrefs.h"
#include "organise/tfmoco.h"
#include "organise/tfrene.h"
#include "support/tempfolder.h"
#include "tools/tfop.h"
#include "viewer/tfview.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace morvane;
using morvane::test::inFolder;
using morvane::test::makeFolder;
using morvane::test::writeFile;

namespace {

// Waits, inside whatever modal loop comes next, for a modal window and hands it to `act`, which
// must close it. Records whether one came.
class ModalAnswer : public QObject
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> act)
        : m_act(std::move(act))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal == nullptr)
                return;
            m_timer.stop();
            ++seen;
            m_act(modal);
        });
        m_timer.start(10);
    }
    int seen = 0;

private:
    std::function<void(QWidget *)> m_act;
    QTimer m_timer;
};

// What a message box said, as a ModalAnswer found it.
struct BoxSeen
{
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

std::function<void(QWidget *)> recordAndClose(BoxSeen &seen)
{
    return [&seen](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            seen.caption = box->windowTitle();
            seen.text = box->text();
            seen.icon = box->icon();
            box->accept();
        } else {
            w->close();
        }
    };
}

// A widget whose paint-free custom event handler throws.
class Thrower : public QWidget
{
public:
    QString text;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw UserError(text);
        return QWidget::event(e);
    }
};

QByteArray sectionLines(const QByteArray &file, const QByteArray &name)
{
    const qsizetype at = file.indexOf("[" + name + "]\r\n");
    if (at < 0)
        return {};
    const qsizetype start = at + name.size() + 4;
    const qsizetype end = file.indexOf("\r\n\r\n", start);
    return file.mid(start, end < 0 ? -1 : end - start + 2);
}

} // namespace

class TestWindowSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void referencesAndCaptions();
    void dropOnTheTreeJoinsTheDestinationHistory();
    void onlyTheMainWindowIsShown();
    void closingAnotherWindowHidesIt_data();
    void closingAnotherWindowHidesIt();
    void closingMainSavesItsSectionAndEnds();
    void windowStillOpenDoesNotSave();
    void lowerCaseSectionAndKeyPlaceTheWindow();
    void failedSaveIsReportedAndTheWindowCloses();
    void aboutBoxTwice();
    void aboutBoxPicture();
    void errorReportText_data();
    void errorReportText();
    void exceptionFromAnEventHandlerIsReported();
    void fontIsTheProgramsFont();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_settings;
    QString m_root;
};

void TestWindowSet::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
}

void TestWindowSet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = m_dir->filePath(QStringLiteral("morvane.ini"));
    m_root = m_dir->filePath(QStringLiteral("desk"));
    QVERIFY(makeFolder(QFile::encodeName(m_root)));
}

void TestWindowSet::cleanup()
{
    m_dir.reset();
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(fMain == nullptr);
    QVERIFY(AboutBox == nullptr);
}

void TestWindowSet::referencesAndCaptions()
{
    WindowSet set(m_settings, m_root);
    QCOMPARE(fMain, static_cast<MainWindowBase *>(set.main()));
    QCOMPARE(fView, static_cast<ViewerBase *>(set.view()));
    QCOMPARE(fMoco, static_cast<QWidget *>(set.moco()));
    QCOMPARE(fRene, static_cast<QWidget *>(set.rene()));
    QCOMPARE(fOp, static_cast<OptionsBase *>(set.options()));
    QCOMPARE(AboutBox, static_cast<QDialog *>(set.about()));
    QCOMPARE(fMain->windowTitle(), QStringLiteral("サクサク閲覧、ガシガシ整理\u3000「Morvane」"));
    QCOMPARE(fView->windowTitle(), QString());
    QCOMPARE(fMoco->windowTitle(), QStringLiteral("フォルダの操作とファイルのコピー、移動"));
    QCOMPARE(fRene->windowTitle(), QStringLiteral("名前の変更"));
    QCOMPARE(fOp->windowTitle(), QStringLiteral("オプション"));
    QCOMPARE(AboutBox->windowTitle(), QStringLiteral("バージョン"));
    // Client areas of the design (outer sizes less the standard frame of 8 × 34).
    QCOMPARE(fView->geometry(), QRect(252, 145, 632, 446));
    QCOMPARE(fMoco->geometry(), QRect(299, 176, 402, 356));
    QCOMPARE(fRene->geometry(), QRect(191, 113, 210, 366));
    QCOMPARE(fOp->size(), QSize(511, 214));
    QCOMPARE(fOp->minimumSize(), fOp->maximumSize());
    QCOMPARE(AboutBox->size(), QSize(160, 240));
}

void TestWindowSet::dropOnTheTreeJoinsTheDestinationHistory()
{
    WindowSet set(m_settings, m_root);
    const int before = set.moco()->ComboBox1->count();
    emit set.main()->filesMovedByDrop(QByteArray("/photos/2024"));
    emit set.main()->filesMovedByDrop(QByteArray("/photos/2024"));
    QCOMPARE(set.moco()->ComboBox1->count(), before + 1);
    QCOMPARE(set.moco()->ComboBox1->findText(QStringLiteral("/photos/2024")), before);
}

void TestWindowSet::onlyTheMainWindowIsShown()
{
    WindowSet set(m_settings, m_root);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(set.main()));
    QVERIFY(fMain->isVisible());
    for (QWidget *w : {static_cast<QWidget *>(fView),
             fMoco,
             fRene,
             static_cast<QWidget *>(fOp),
             static_cast<QWidget *>(AboutBox)})
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestWindowSet::closingAnotherWindowHidesIt_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("fView") << 0;
    QTest::newRow("fMoco") << 1;
    QTest::newRow("fRene") << 2;
    QTest::newRow("fOp") << 3;
}

void TestWindowSet::closingAnotherWindowHidesIt()
{
    QFETCH(int, which);
    WindowSet set(m_settings, m_root);
    QSignalSpy ended(&set, &WindowSet::ended);
    set.show();
    QWidget *const windows[] = {fView, fMoco, fRene, fOp};
    QPointer<QWidget> w = windows[which];
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->close());
    QVERIFY(!w.isNull());
    QVERIFY(!w->isVisible());
    QVERIFY(fMain->isVisible());
    QCOMPARE(ended.count(), 0);
    // The viewer and the options dialog write their own sections on closing; nothing writes "Main".
    QFile f(m_settings);
    const QByteArray saved = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    QCOMPARE(saved.startsWith("[View]\r\nTop=145\r\nLeft=252\r\n"), which == 0);
    QCOMPARE(saved.contains("[Option]"), which == 3);
    QVERIFY(!saved.contains("[Main]"));
    // The same window shows again.
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w.data(), windows[which]);
}

void TestWindowSet::closingMainSavesItsSectionAndEnds()
{
    // Another window's section, an unknown key of "Main" and a comment line.
    QVERIFY(writeFile(QFile::encodeName(m_settings),
        "; comment\r\n[View]\r\nTop=7\r\nOdd=1\r\n[Main]\r\nFoo=bar\r\nTop=1\r\n"));
    QByteArray saved;
    {
        WindowSet set(m_settings, m_root);
        QSignalSpy ended(&set, &WindowSet::ended);
        set.show();
        QVERIFY(QTest::qWaitForWindowExposed(set.main()));
        set.main()->move(50, 60);
        set.main()->resize(640, 300 + set.main()->menuBarHeight());
        set.main()->SizeItems[0]->trigger();
        set.main()->QualityItems[1]->trigger();
        set.main()->actClose->trigger();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!set.main()->isVisible());
        QFile f(m_settings);
        QVERIFY(f.open(QIODevice::ReadOnly));
        saved = f.readAll();
    }
    // Code page 932 for "登録１": 93 6F, 98 5E, 82 50.
    const QByteArray tool1("\x93\x6F\x98\x5E\x82\x50");
    const QByteArray expectedMain =
        QByteArray("Foo=bar\r\nTop=60\r\nLeft=50\r\nHeight=300\r\nWidth=640\r\n")
        + "Size1=1\r\nSize2=0\r\nSize3=0\r\nSize4=0\r\nSize5=0\r\nSize6=0\r\nSize7=0\r\n"
        + "Quality1=0\r\nQuality2=1\r\nQuality3=0\r\nQuality4=0\r\nUpDate=1\r\n" + "TN1=" + tool1
        + "\r\nTN2=\x93\x6F\x98\x5E\x82\x51\r\nTN3=\x93\x6F\x98\x5E\x82\x52\r\n";
    QCOMPARE(sectionLines(saved, "Main"), expectedMain);
    QCOMPARE(sectionLines(saved, "View"), QByteArray("Top=7\r\nOdd=1\r\n"));
    QVERIFY(!saved.contains("comment"));
    // Every line ends in CR LF.
    QCOMPARE(saved.count('\n'), saved.count("\r\n"));
}

void TestWindowSet::windowStillOpenDoesNotSave()
{
    QVERIFY(writeFile(QFile::encodeName(m_settings), "[View]\r\nTop=7\r\n"));
    WindowSet set(m_settings, m_root);
    set.show();
    fView->show();
    fOp->show();
    QVERIFY(QTest::qWaitForWindowExposed(fView));
    fMain->close();
    QFile f(m_settings);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    QCOMPARE(sectionLines(saved, "View"), QByteArray("Top=7\r\n"));
    QVERIFY(!saved.contains("[Option]"));
    QVERIFY(saved.contains("[Main]"));
}

void TestWindowSet::lowerCaseSectionAndKeyPlaceTheWindow()
{
    QVERIFY(writeFile(QFile::encodeName(m_settings), "[main]\r\ntop=10\r\n"));
    WindowSet set(m_settings, m_root);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(set.main()));
    QCOMPARE(fMain->y(), 10);
    QCOMPARE(fMain->x(), 193);
    QCOMPARE(set.main()->clientHeight(), 426);
}

void TestWindowSet::failedSaveIsReportedAndTheWindowCloses()
{
    // A settings path below a regular file cannot be written, even by root.
    const QString blocker = m_dir->filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(QFile::encodeName(blocker), "x"));
    const QString path = blocker + QStringLiteral("/morvane.ini");
    WindowSet set(path, m_root);
    QSignalSpy ended(&set, &WindowSet::ended);
    set.show();
    QVERIFY(QTest::qWaitForWindowExposed(set.main()));
    BoxSeen seen;
    ModalAnswer answer(recordAndClose(seen));
    set.main()->actClose->trigger();
    QCOMPARE(answer.seen, 1);
    QCOMPARE(seen.caption, QStringLiteral("Morvane"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QVERIFY(!seen.text.isEmpty());
    QVERIFY2(seen.text.contains(QStringLiteral("morvane.ini")), qPrintable(seen.text));
    QCOMPARE(ended.count(), 1);
    QVERIFY(!set.main()->isVisible());
}

void TestWindowSet::aboutBoxTwice()
{
    WindowSet set(m_settings, m_root);
    set.show();
    QList<QWidget *> shown;
    QList<QPoint> centres;
    for (int round = 0; round < 2; ++round) {
        ModalAnswer answer([&](QWidget *w) {
            shown << w;
            centres << w->geometry().center();
            auto *box = qobject_cast<TAboutBox *>(w);
            QVERIFY(box != nullptr);
            QVERIFY(box->OKButton->isDefault());
            QTest::keyClick(box, Qt::Key_Return);
        });
        set.main()->About1->trigger();
        QCOMPARE(answer.seen, 1);
        QCOMPARE(AboutBox->result(), int(QDialog::Accepted));
        QVERIFY(!AboutBox->isVisible());
    }
    QCOMPARE(shown, (QList<QWidget *> {AboutBox, AboutBox}));
    // Centred on the screen both times.
    const QPoint screenCentre = AboutBox->screen()->availableGeometry().center();
    for (const QPoint &c : centres)
        QVERIFY((c - screenCentre).manhattanLength() <= 2);
}

void TestWindowSet::aboutBoxPicture()
{
    WindowSet set(m_settings, m_root);
    auto *box = set.about();
    QCOMPARE(box->Image1->geometry(), QRect(0, 0, 160, 240));
    QCOMPARE(box->Label1->text(), QStringLiteral("Ver 1.0"));
    QCOMPARE(box->Label1->pos(), QPoint(8, 224));
    QCOMPARE(box->Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(box->OKButton->geometry(), QRect(79, 212, 75, 25));
    QCOMPARE(box->OKButton->text(), QStringLiteral("OK"));
    const QImage picture = TAboutBox::picture().toImage();
    QCOMPARE(picture.size(), QSize(160, 240));
    // A designed picture, not a flat fill: many distinct colours.
    QSet<QRgb> colours;
    for (int y = 0; y < 240; y += 3)
        for (int x = 0; x < 160; x += 3)
            colours.insert(picture.pixel(x, y));
    QVERIFY(colours.size() > 200);
}

void TestWindowSet::errorReportText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a dot") << QStringLiteral("abc") << QStringLiteral("abc.");
    QTest::newRow("ideographic full stop sorts above the dot")
        << QStringLiteral("失敗しました。") << QStringLiteral("失敗しました。.");
    QTest::newRow("dot stays alone") << QStringLiteral("done.") << QStringLiteral("done.");
    QTest::newRow("exclamation sorts below the dot")
        << QStringLiteral("stop!") << QStringLiteral("stop!");
    QTest::newRow("hyphen sorts below the dot") << QStringLiteral("a-") << QStringLiteral("a-");
    QTest::newRow("slash sorts above the dot") << QStringLiteral("C:/") << QStringLiteral("C:/.");
    QTest::newRow("closing bracket") << QStringLiteral("（理由）") << QStringLiteral("（理由）.");
    QTest::newRow("empty stays empty") << QString() << QString();
}

void TestWindowSet::errorReportText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(morvane::errorReportText(text), shown);
}

void TestWindowSet::exceptionFromAnEventHandlerIsReported()
{
    Thrower w;
    w.text = QStringLiteral("ファイルを開けません");
    BoxSeen seen;
    ModalAnswer answer(recordAndClose(seen));
    QEvent e(QEvent::User);
    QApplication::sendEvent(&w, &e);
    QCOMPARE(answer.seen, 1);
    QCOMPARE(seen.text, QStringLiteral("ファイルを開けません."));
    QCOMPARE(seen.caption, QStringLiteral("Morvane"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    // The event loop goes on: the next event reaches the widget normally.
    QEvent other(QEvent::User);
    w.text = QStringLiteral("二度目");
    BoxSeen second;
    ModalAnswer again(recordAndClose(second));
    QApplication::sendEvent(&w, &other);
    QCOMPARE(second.text, QStringLiteral("二度目."));
}

void TestWindowSet::fontIsTheProgramsFont()
{
    const QFont f = QApplication::font();
    QCOMPARE(f.family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(f.pointSize(), 9);
    QVERIFY(
        QFont::substitutes(f.family()).contains(QStringLiteral("IPAPGothic"), Qt::CaseInsensitive));
    // The name resolves to an installed Japanese font.
    const QFontInfo info(f);
    QVERIFY2(info.family() == u"IPAPGothic" || info.family().startsWith(u"Noto Sans CJK"),
        qPrintable(info.family()));
    QCOMPARE(QApplication::applicationDisplayName(), QStringLiteral("Morvane"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestWindowSet t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_windowset.moc"
