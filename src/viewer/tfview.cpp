// SPDX-License-Identifier: GPL-3.0-or-later
// The picture viewer window: its controls and popup menu, section "View" of the settings file,
// activation and closing, the layout of the picture box and the information texts.
#include "viewer/tfview.h"

#include "frame/errorreport.h"
#include "frame/settingsfile.h"
#include "frame/settingsstore.h"
#include "platform/folderscan.h"
#include "viewer/picturebox.h"
#include "viewer/tfview_rects.h"
#include "viewer/viewcursor.h"
#include "viewer/viewindex.h"
#include "viewer/viewlayout.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <cmath>
#include <string_view>

namespace morvane {

namespace {

    const QString kSection = QStringLiteral("View");

    // clang-format off
    struct MenuItem { const char *caption; int tag; };
    constexpr std::array<MenuItem, 7> kTimeItems {{
        {"０．５秒(&1)", 500}, {"０．７秒(&2)", 700}, {"１秒(&3)", 1000}, {"１．５秒(&4)", 1500},
        {"２秒(&5)", 2000}, {"３秒(&6)", 3000}, {"５秒(&7)", 5000}}};
    constexpr std::array<MenuItem, 4> kSizeItems {{
        {"そのまま(&H)", 0}, {"拡大縮小(&J)", 1}, {"縮小のみ(&K)", 2}, {"おまけ(&L)", 3}}};
    // clang-format on
    constexpr std::size_t kTimeDefault = 3; // "１．５秒(&4)"
    constexpr std::size_t kSizeDefault = 0; // "そのまま(&H)"

    std::string_view view(const QByteArray &bytes)
    {
        return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
    }

} // namespace

TfView::TfView(QString settingsPath, QWidget *parent)
    : ViewerBase(parent)
    , m_settingsPath(std::move(settingsPath))
    , m_beep([] {
        QApplication::beep();
    })
    , m_report([this](const QString &text) {
        showErrorReport(text, this);
    })
{
    // No caption until the first picture is shown: the platform shows the program's name.
    setWindowTitle(QString());
    buildControls();
    buildMenu();
    // Design placement: frame at (252, 145), a client area of 632 × 446.
    move(252, 145);
    resize(632, 446);
    connect(&m_preparer, &PicturePreparer::prepared, this, &TfView::picturePrepared);
    FormCreate();
}

TfView::~TfView() = default;

void TfView::buildControls()
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    m_client = new QWidget(this);
    m_client->setPalette(black);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);

    Image1 = new PictureBox(m_client);
    Image1->setGeometry(0, 0, 632, 446);
    Image1->installEventFilter(this);
    m_client->installEventFilter(this);

    // The labels lie over the picture box and let the pointer through to whatever is under them.
    QPalette fuchsia = palette();
    fuchsia.setColor(QPalette::WindowText, QColor(255, 0, 255));
    const std::array<std::pair<QLabel **, const char *>, 4> labels {{
        {&Label1, "画像の横縦"},
        {&Label2, "画像の容量"},
        {&Label3, "タイムスタンプ"},
        {&Label4, "表示サイズ？"},
    }};
    int top = 8;
    for (const auto &[label, text] : labels) {
        *label = new QLabel(QString::fromUtf8(text), m_client);
        (*label)->setPalette(fuchsia);
        (*label)->setAutoFillBackground(false);
        (*label)->setAttribute(Qt::WA_TransparentForMouseEvents);
        // A one-pixel black shadow keeps the text legible where the picture behind it is bright
        // or fuchsia itself; the label stays transparent.
        auto *shadow = new QGraphicsDropShadowEffect(*label);
        shadow->setColor(Qt::black);
        shadow->setBlurRadius(0);
        shadow->setOffset(1, 1);
        (*label)->setGraphicsEffect(shadow);
        (*label)->move(8, top);
        (*label)->adjustSize();
        (*label)->raise();
        top += 16;
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(1500);
    connect(Timer1, &QTimer::timeout, this, [this] {
        reportErrors([this] {
            Timer1Timer();
        });
    });

    m_navigationCursor = morvane::navigationCursor();
    setCursor(m_navigationCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void TfView::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    auto command = [this](const QString &caption, void (TfView::*handler)()) {
        QAction *a = PopupMenu1->addAction(caption);
        connect(a, &QAction::triggered, this, [this, handler] {
            reportErrors([this, handler] {
                (this->*handler)();
            });
        });
        return a;
    };
    N7 = command(QStringLiteral("ファイラーを前に(&Q)"), &TfView::N7Click);
    N1 = command(QStringLiteral("１つ戻る(&B)"), &TfView::N1Click);
    PopupMenu1->addSeparator(); // N4
    N2 = command(QStringLiteral("スライドショー(&G)"), &TfView::N2Click);
    N3 = command(QStringLiteral("停止(&S)"), &TfView::N3Click);

    // A radio group whose checked item, chosen again, stays checked: the handler is told the
    // item was chosen while already checked by finding it unchecked.
    auto radioGroup = [this](QMenu *menu, const auto &items, auto &actions, auto handler) {
        auto *group = new QActionGroup(menu);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        for (std::size_t i = 0; i < items.size(); ++i) {
            QAction *a = menu->addAction(QString::fromUtf8(items[i].caption));
            a->setCheckable(true);
            a->setData(items[i].tag);
            group->addAction(a);
            actions[i] = a;
            connect(a, &QAction::triggered, this, [this, a, handler] {
                reportErrors([this, a, handler] {
                    (this->*handler)(a);
                });
            });
        }
    };
    N9 = PopupMenu1->addMenu(QStringLiteral("時間"));
    radioGroup(N9, kTimeItems, TimeItems, &TfView::N95Click);
    TimeItems[kTimeDefault]->setChecked(true);

    PopupMenu1->addSeparator(); // N12
    N6 = PopupMenu1->addAction(QStringLiteral("情報表示(&I)"));
    N6->setCheckable(true);
    N6->setChecked(true);
    connect(N6, &QAction::triggered, this, [this] {
        // The menu has inverted the check already; N6Click inverts it itself.
        N6->setChecked(!N6->isChecked());
        N6Click();
    });
    N11 = PopupMenu1->addMenu(QStringLiteral("表示サイズ"));
    radioGroup(N11, kSizeItems, SizeItems, &TfView::N15Click);
    SizeItems[kSizeDefault]->setChecked(true);
    buildZoomMenu();
    buildRotateMenu();
}

// ---- creation and closing -------------------------------------------------------------------

void TfView::FormCreate()
{
    readSettings();
    WheelStepMode = true;
    setCursor(m_navigationCursor);
    PictureIndex = 0;
}

void TfView::readSettings()
{
    const SettingsStore s(m_settingsPath);
    // Each key's default is the window's state when it is read; each value applies at once, in
    // the order of the section's table.
    move(x(), s.readInteger(kSection, QStringLiteral("Top"), y()));
    move(s.readInteger(kSection, QStringLiteral("Left"), x()), y());
    resize(width(), s.readInteger(kSection, QStringLiteral("Height"), height()));
    resize(s.readInteger(kSection, QStringLiteral("Width"), width()), height());

    s.readRadioGroup(kSection, QStringLiteral("Time"), TimeItems, kTimeDefault);
    // An interval below 1 ms would make the slideshow race through the folder (or never tick):
    // such a value is unreadable and keeps the default.
    const int interval = s.readInteger(kSection, QStringLiteral("Timer"), Timer1->interval());
    if (interval > 0)
        Timer1->setInterval(interval);
    s.readRadioGroup(kSection, QStringLiteral("Size"), SizeItems, kSizeDefault);
    N6->setChecked(s.readBool(kSection, QStringLiteral("Info1"), N6->isChecked()));
    int key = 2;
    for (QLabel *label : {Label1, Label2, Label3, Label4}) {
        label->setHidden(
            !s.readBool(kSection, QStringLiteral("Info%1").arg(key++), !label->isHidden()));
    }
}

bool TfView::writeSettings(QString *errorMessage) const
{
    SettingsStore s(m_settingsPath);
    s.writeInteger(kSection, QStringLiteral("Top"), y());
    s.writeInteger(kSection, QStringLiteral("Left"), x());
    s.writeInteger(kSection, QStringLiteral("Height"), height());
    s.writeInteger(kSection, QStringLiteral("Width"), width());
    for (std::size_t i = 0; i < TimeItems.size(); ++i)
        s.writeBool(kSection, QStringLiteral("Time%1").arg(i + 1), TimeItems[i]->isChecked());
    s.writeInteger(kSection, QStringLiteral("Timer"), Timer1->interval());
    for (std::size_t i = 0; i < SizeItems.size(); ++i)
        s.writeBool(kSection, QStringLiteral("Size%1").arg(i + 1), SizeItems[i]->isChecked());
    s.writeBool(kSection, QStringLiteral("Info1"), N6->isChecked());
    int key = 2;
    for (const QLabel *label : {Label1, Label2, Label3, Label4})
        s.writeBool(kSection, QStringLiteral("Info%1").arg(key++), !label->isHidden());
    return s.save(errorMessage);
}

void TfView::FormClose()
{
    QString message;
    if (!writeSettings(&message))
        report(message);
}

void TfView::closeEvent(QCloseEvent *event)
{
    // Closing only hides the viewer; the picture, its place and a running slideshow stay. A
    // failed save is reported and the window still closes.
    FormClose();
    // A hidden viewer plays nothing; showing it again plays the picture from its start.
    m_animation.stop();
    event->accept();
}

// ---- activation -----------------------------------------------------------------------------

bool TfView::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        // The activation that follows our own error box is not a new try: it would show the box
        // again at once, for ever. The next one after the user has left the window is.
        if (!m_activationBlocked)
            FormActivate();
        break;
    case QEvent::WindowDeactivate:
        if (!m_reporting)
            m_activationBlocked = false;
        break;
    case QEvent::ZOrderChange:
        // The open command raises the window it shows.
        if (isVisible())
            takeRequestSoon();
        break;
    default:
        if (takeLoaderEvent(event))
            return true;
        break;
    }
    return ViewerBase::event(event);
}

void TfView::showEvent(QShowEvent *event)
{
    ViewerBase::showEvent(event);
    if (!m_animation.isPlaying() && !Image1->picturePath().isEmpty())
        m_animation.start(Image1->picturePath(), Image1->naturalSize());
    takeRequestSoon();
}

void TfView::takeRequestSoon()
{
    // A window manager may show or raise the window without activating it (focus stealing
    // prevention), or it may be active already when the main window's open command shows it:
    // the request is taken then as well, after the current event (an activation that follows
    // finds it taken).
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_activationBlocked)
                FormActivate();
        },
        Qt::QueuedConnection);
}

// ---- layout and texts -----------------------------------------------------------------------

std::optional<int> TfView::DisplayMode() const
{
    for (const QAction *a : SizeItems) {
        if (a->isChecked())
            return a->data().toInt();
    }
    return std::nullopt;
}

void TfView::LayoutPicture()
{
    m_zoom = 0;
    const QList<QByteArray> *list = pictureList();
    const QByteArray path = recordPath(PictureIndex);
    if (path.isNull())
        return;
    PicWidth = viewer::recordDimension(view(list->at(PictureIndex + 3)));
    PicHeight = viewer::recordDimension(view(list->at(PictureIndex + 4)));
    const std::optional<int> tag = DisplayMode();
    const std::optional<viewer::DisplayMode> mode =
        tag ? viewer::displayModeFromTag(*tag) : std::nullopt;
    viewer::PictureBox previous;
    previous.center = Image1->isCentered();
    previous.stretch = Image1->isStretched();
    previous.autoSize = Image1->isAutoSized();
    previous.bounds = {BoxLeft, BoxTop, BoxWidth, BoxHeight};
    // The 1:1 modes show one picture pixel per device pixel: the layout goes by the picture's
    // size in logical pixels.
    const qreal dpr = devicePixelRatioF();
    const viewer::PictureBox laid = viewer::LayoutPicture(mode,
        viewer::logicalSide(PicWidth, dpr),
        viewer::logicalSide(PicHeight, dpr),
        width(),
        height(),
        previous);
    BoxLeft = laid.bounds.left;
    BoxTop = laid.bounds.top;
    BoxWidth = laid.bounds.width;
    BoxHeight = laid.bounds.height;
    Image1->setSwitches(laid.center, laid.stretch, laid.autoSize);
    Image1->setBounds(toRect(laid.bounds));
}

QSize TfView::drawingSizeFor(std::int32_t index) const
{
    const QList<QByteArray> *list = pictureList();
    if (recordPath(index).isNull())
        return {};
    const qreal dpr = devicePixelRatioF();
    const std::int32_t w =
        viewer::logicalSide(viewer::recordDimension(view(list->at(index + 3))), dpr);
    const std::int32_t h =
        viewer::logicalSide(viewer::recordDimension(view(list->at(index + 4))), dpr);
    const std::optional<int> tag = DisplayMode();
    if (!tag)
        return {};
    const viewer::PictureBox box =
        viewer::LayoutPicture(viewer::displayModeFromTag(*tag), w, h, width(), height());
    // With auto-size the box takes the picture's own size.
    const std::int32_t bw = box.autoSize ? w : box.bounds.width;
    const std::int32_t bh = box.autoSize ? h : box.bounds.height;
    const viewer::BoxRect drawn = viewer::drawingRect(w, h, bw, bh, box.stretch, box.center);
    if (drawn.width == w && drawn.height == h)
        return {};
    return {static_cast<int>(std::lround(drawn.width * dpr)),
        static_cast<int>(std::lround(drawn.height * dpr))};
}

void TfView::ShowInfo()
{
    const QList<QByteArray> *list = pictureList();
    const QByteArray path = recordPath(PictureIndex);
    if (path.isNull())
        return;
    // The texts come from the record's UTF-8 strings; the file name is native bytes, shown as
    // the file list shows names.
    const viewer::PictureRecord record {{},
        view(list->at(PictureIndex + 1)),
        view(list->at(PictureIndex + 2)),
        view(list->at(PictureIndex + 3)),
        view(list->at(PictureIndex + 4))};
    const viewer::InfoTexts t = viewer::infoTexts(record,
        static_cast<std::size_t>(list->size()),
        PictureIndex,
        width(),
        height(),
        Image1->width(),
        Image1->height());
    const std::string_view name = viewer::fileNamePart(view(path));
    // The name as the list shows it (a code page 932 name as its text).
    setWindowTitle(QString::fromStdString(t.caption)
        + platform::captionOfName(QByteArray(name.data(), static_cast<qsizetype>(name.size()))));
    const std::array<std::pair<QLabel *, const std::string *>, 4> labels {
        {{Label1, &t.label1}, {Label2, &t.label2}, {Label3, &t.label3}, {Label4, &t.label4}}};
    for (const auto &[label, text] : labels) {
        label->setText(QString::fromStdString(*text));
        label->adjustSize();
    }
}

void TfView::FormResize()
{
    LayoutPicture();
    ShowInfo();
    decodeFinerIfNeeded();
}

void TfView::resizeEvent(QResizeEvent *event)
{
    ViewerBase::resizeEvent(event);
    // The client widget follows the window at once, so the layout below and what is painted
    // agree even before the window's own layout runs.
    m_client->setGeometry(rect());
    FormResize();
}

void TfView::checkDisplayMode(int tag)
{
    for (QAction *a : SizeItems)
        a->setChecked(a->data().toInt() == tag);
    FormResize();
}

void TfView::N15Click(QAction *item)
{
    // The group lets a checked item be unchecked by choosing it again: that choice changes
    // nothing, so the check goes back.
    if (!item->isChecked()) {
        item->setChecked(true);
        return;
    }
    FormResize();
}

void TfView::N6Click()
{
    // Each label's own visibility is inverted, so labels that disagree keep disagreeing.
    N6->setChecked(!N6->isChecked());
    for (QLabel *label : {Label1, Label2, Label3, Label4})
        label->setHidden(!label->isHidden());
}

// ---- commands -----------------------------------------------------------------------------------

void TfView::N7Click()
{
    if (fMain == nullptr)
        return;
    if (fMain->isMinimized())
        fMain->showNormal();
    else
        fMain->show();
    fMain->raise();
    fMain->activateWindow();
}

} // namespace morvane
