// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/tfview.h"

#include "frame/errorreport.h"
#include "frame/settingsfile.h"
#include "frame/settingsstore.h"
#include "platform/folderscan.h"
#include "viewer/picturebox.h"
#include "viewer/viewcursor.h"
#include "viewer/viewindex.h"
#include "viewer/viewlayout.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <string_view>
#include <vector>

namespace morvane {

namespace {

    const QString kSection = QStringLiteral("View");

    // Posted at low priority after a step, so the step's own painting (also posted at low
    // priority, and earlier) comes first.
    const QEvent::Type kLoadNextEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

    // Posted the same way: pictures let go of during a step are freed after its frame is drawn.
    const QEvent::Type kReleaseEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

    constexpr int kWheelNotch = 120;
    // A decode of a larger picture on the UI thread takes long enough to show the wait cursor.
    constexpr qint64 kQuickDecodePixels = qint64(2) << 20;
    // X11 and Wayland (evdev + 8) key codes of the main keyboard's digits 1 to 7, which stay the
    // digits when Shift turns the key's symbol into "!" or "\"".
    constexpr quint32 kScanCodeDigit1 = 10;
    constexpr quint32 kScanCodeDigit7 = 16;

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

    QRect toRect(const viewer::BoxRect &r)
    {
        return {r.left, r.top, r.width, r.height};
    }

    viewer::BoxRect toBox(const QRect &r)
    {
        return {r.x(), r.y(), r.width(), r.height()};
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
        if (event->type() == kLoadNextEvent) {
            LoadNext();
            return true;
        }
        if (event->type() == kReleaseEvent) {
            for (QImage &image : m_leftOver)
                releaseInBackground(std::move(image));
            m_leftOver.clear();
            return true;
        }
        break;
    }
    return ViewerBase::event(event);
}

void TfView::showEvent(QShowEvent *event)
{
    ViewerBase::showEvent(event);
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

const QList<QByteArray> *TfView::pictureList() const
{
    return fMain != nullptr ? &fMain->PictureList : nullptr;
}

QByteArray TfView::recordPath(std::int32_t index) const
{
    const QList<QByteArray> *list = pictureList();
    if (list == nullptr || index < 0 || index % viewer::kRecordStrings != 0
        || qsizetype {index} + viewer::kRecordStrings > list->size())
        return {};
    return list->at(index);
}

void TfView::FormActivate()
{
    if (fMain == nullptr || !fMain->OpenRequested)
        return;
    const QList<QByteArray> &list = fMain->PictureList;
    std::optional<std::int32_t> found;
    for (qsizetype i = 0; i + viewer::kRecordStrings <= list.size() && i <= INT32_MAX;
         i += viewer::kRecordStrings) {
        if (list.at(i) == OpenPath) {
            found = static_cast<std::int32_t>(i);
            break;
        }
    }
    if (!found) {
        // The open command puts the path in the list; a request without it has nothing to show.
        fMain->OpenRequested = false;
        return;
    }
    PictureIndex = *found;
    LayoutPicture();
    // The list is new: a prepared picture may stand for a file that has changed since.
    setImage2({});
    const LoadedPicture picture =
        loadPictureFile(OpenPath, drawingSizeFor(PictureIndex), std::exchange(m_spare, {}));
    if (!picture.ok()) {
        // The index and layout already belong to the new record; the box keeps its picture, the
        // texts stay, no loader run starts and the request stays for the next activation.
        report(picture.error);
        m_activationBlocked = true;
        return;
    }
    showPicture(OpenPath, picture);
    ShowInfo();
    startLoaderRun();
    fMain->OpenRequested = false;
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
    const viewer::PictureBox laid =
        viewer::LayoutPicture(mode, PicWidth, PicHeight, width(), height(), previous);
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
    const std::int32_t w = viewer::recordDimension(view(list->at(index + 3)));
    const std::int32_t h = viewer::recordDimension(view(list->at(index + 4)));
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
    const qreal dpr = devicePixelRatioF();
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

// ---- pictures -------------------------------------------------------------------------------

void TfView::showPicture(const QByteArray &path, const LoadedPicture &picture, bool afterFrame)
{
    Prepared left {
        Image1->picturePath(), Image1->picture(), Image1->scaledPicture(), Image1->naturalSize()};
    Image1->setPicture(path, picture);
    m_finerFailed.clear();
    // After a backward step the picture just left is the next forward step's picture: keep it
    // instead of reading it again.
    if (!left.path.isEmpty() && left.path == recordPath(PictureIndex + viewer::kRecordStrings)
        && m_image2.path != left.path) {
        setImage2(std::move(left));
        return;
    }
    if (!afterFrame) {
        releaseInBackground(std::move(left.image));
        releaseInBackground(std::move(left.scaled));
        return;
    }
    // The next decode writes into the memory of the picture just left (no fresh pages to fault
    // in); the spare it replaces, never taken, goes after the frame.
    letGo(std::exchange(m_spare, std::move(left.image)));
    letGo(std::move(left.scaled));
}

void TfView::decodeFinerIfNeeded()
{
    const QByteArray path = Image1->picturePath();
    if (path.isEmpty() || path != recordPath(PictureIndex))
        return;
    // A step must not show a prepared picture coarser than its drawing size: it is prepared anew.
    if (!m_image2.path.isEmpty()
        && !coversDrawing(m_image2.image,
            m_image2.fullSize,
            drawingSizeFor(PictureIndex + viewer::kRecordStrings))) {
        setImage2({});
        startLoaderRun();
    }
    const QSize drawn = drawingSizeFor(PictureIndex);
    const QSize natural = Image1->naturalSize();
    if (path == m_finerFailed || coversDrawing(Image1->picture(), natural, drawn))
        return;
    const bool slow = qint64(natural.width()) * natural.height() > kQuickDecodePixels;
    if (slow)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    const LoadedPicture picture = loadPictureFile(path, drawn, std::exchange(m_spare, {}));
    if (slow)
        QApplication::restoreOverrideCursor();
    if (!picture.ok()) {
        // The coarser picture stays; the message comes once, not at every size that follows.
        m_finerFailed = path;
        report(picture.error);
        return;
    }
    QImage coarse = Image1->picture();
    QImage coarseScaled = Image1->scaledPicture();
    Image1->setPicture(path, picture);
    releaseInBackground(std::move(coarse));
    releaseInBackground(std::move(coarseScaled));
}

void TfView::setImage2(Prepared prepared)
{
    // Freed at once (off the UI thread): a prepared picture is let go of before a decode, to make
    // room for it.
    std::swap(m_image2, prepared);
    releaseInBackground(std::move(prepared.image));
    releaseInBackground(std::move(prepared.scaled));
}

void TfView::letGo(QImage image)
{
    if (image.isNull())
        return;
    // Freeing a large picture unmaps its memory, which competes with the painting of the step's
    // frame: it waits until that frame is drawn, and then happens off the UI thread. Steps that
    // come faster than frames (a held key) do not pile pictures up: at most one picture and its
    // scaled copy wait.
    if (m_leftOver.size() >= 2) {
        for (QImage &waiting : m_leftOver)
            releaseInBackground(std::move(waiting));
        m_leftOver.clear();
    }
    if (m_leftOver.isEmpty())
        QCoreApplication::postEvent(this, new QEvent(kReleaseEvent), Qt::LowEventPriority);
    m_leftOver.append(std::move(image));
}

void TfView::NextPicture()
{
    leaveOutGone(true);
    const QList<QByteArray> *list = pictureList();
    const std::optional<std::int32_t> next = list != nullptr
        ? viewer::nextPictureIndex(PictureIndex, static_cast<std::size_t>(list->size()))
        : std::nullopt;
    if (!next) {
        m_beep();
        Timer1->stop();
        return;
    }
    PictureIndex = *next;
    LayoutPicture();
    const QByteArray path = recordPath(PictureIndex);
    const QSize drawn = drawingSizeFor(PictureIndex);
    LoadedPicture picture;
    bool prepared = true;
    if (m_image2.path == path && coversDrawing(m_image2.image, m_image2.fullSize, drawn)) {
        picture.image = m_image2.image;
        picture.scaled = m_image2.scaled;
        picture.fullSize = m_image2.fullSize;
    } else if (m_preparer.isDecoding(path)) {
        picture = m_preparer.waitFor(path);
        if (!coversDrawing(picture.image, picture.fullSize, drawn))
            picture = {}; // decoded for a smaller drawing size
    }
    if (!picture.ok()) {
        // The prepared picture is another file's (or its decode failed): read this one now,
        // after letting go of a prepared picture no step will use.
        if (m_image2.path != recordPath(PictureIndex + viewer::kRecordStrings))
            setImage2({});
        picture = loadPictureFile(path, drawn, std::exchange(m_spare, {}));
        prepared = false;
        if (!picture.ok()) {
            report(picture.error);
            return;
        }
    }
    showPicture(path, picture, prepared);
    ShowInfo();
    startLoaderRun();
}

void TfView::PreviousPicture()
{
    leaveOutGone(false);
    const QList<QByteArray> *list = pictureList();
    const std::optional<std::int32_t> previous = list != nullptr
        ? viewer::previousPictureIndex(PictureIndex, static_cast<std::size_t>(list->size()))
        : std::nullopt;
    if (!previous) {
        m_beep();
        return;
    }
    PictureIndex = *previous;
    LayoutPicture();
    const QByteArray path = recordPath(PictureIndex);
    // A prepared picture that no step can use any more goes before the new one is decoded.
    if (m_image2.path != recordPath(PictureIndex + viewer::kRecordStrings))
        setImage2({});
    const LoadedPicture picture =
        loadPictureFile(path, drawingSizeFor(PictureIndex), std::exchange(m_spare, {}));
    if (!picture.ok()) {
        report(picture.error);
        return;
    }
    showPicture(path, picture);
    ShowInfo();
    startLoaderRun();
}

std::int32_t TfView::recordOf(const QByteArray &path) const
{
    const QList<QByteArray> *list = pictureList();
    for (std::int32_t i = 0; list != nullptr && !recordPath(i).isNull();
         i += viewer::kRecordStrings) {
        if (list->at(i) == path)
            return i;
    }
    return -1;
}

void TfView::leaveOut(std::int32_t from, std::int32_t records)
{
    QList<QByteArray> &list = fMain->PictureList;
    const std::int32_t strings = records * viewer::kRecordStrings;
    for (std::int32_t i = from; i < from + strings; i += viewer::kRecordStrings) {
        if (list.at(i) == m_image2.path)
            setImage2({});
    }
    // One removal for the whole run: a folder's worth of gone files costs one move of the list.
    list.remove(from, strings);
    if (from < PictureIndex)
        PictureIndex -= strings;
}

void TfView::leaveOutGone(bool forward)
{
    const int step = forward ? viewer::kRecordStrings : -viewer::kRecordStrings;
    std::int32_t records = 0;
    for (std::int32_t i = PictureIndex + step;
         !recordPath(i).isNull() && platform::isGone(recordPath(i));
         i += step)
        ++records;
    if (records == 0)
        return;
    leaveOut(forward ? PictureIndex + step : PictureIndex + records * step, records);
}

void TfView::pictureRenamed(const QByteArray &oldPath, const QByteArray &newPath)
{
    const std::int32_t r = recordOf(oldPath);
    if (r < 0)
        return;
    fMain->PictureList[r] = newPath;
    if (Image1->picturePath() == oldPath)
        Image1->setPicture(newPath,
            {Image1->picture(), Image1->scaledPicture(), Image1->naturalSize(), QString()});
    if (m_image2.path == oldPath)
        m_image2.path = newPath;
    if (OpenPath == oldPath)
        OpenPath = newPath;
    ShowInfo();
    startLoaderRun();
}

void TfView::pictureRemoved(const QByteArray &path)
{
    const std::int32_t r = recordOf(path);
    if (r < 0 || r == PictureIndex)
        return;
    leaveOut(r, 1);
    ShowInfo();
    startLoaderRun();
}

void TfView::startLoaderRun()
{
    QCoreApplication::postEvent(this, new QEvent(kLoadNextEvent), Qt::LowEventPriority);
}

void TfView::LoadNext()
{
    // The picture after the one current now, not when the run was started.
    const QByteArray next = recordPath(PictureIndex + viewer::kRecordStrings);
    const QSize drawn = drawingSizeFor(PictureIndex + viewer::kRecordStrings);
    if (!next.isEmpty() && m_image2.path == next
        && coversDrawing(m_image2.image, m_image2.fullSize, drawn)) {
        releaseInBackground(std::exchange(m_spare, {}));
        return;
    }
    // A prepared picture of another file is of no use: it goes before the next decode is made.
    setImage2({});
    m_preparer.request(next, drawn, std::exchange(m_spare, {}));
}

void TfView::picturePrepared(const QByteArray &path, const LoadedPicture &picture)
{
    // Work for a picture the user has already stepped past is dropped.
    if (path != recordPath(PictureIndex + viewer::kRecordStrings))
        return;
    const QSize drawn = drawingSizeFor(PictureIndex + viewer::kRecordStrings);
    if (!coversDrawing(picture.image, picture.fullSize, drawn)) {
        // Decoded for a smaller drawing size: the window has grown or the mode changed since.
        m_preparer.request(path, drawn);
        return;
    }
    setImage2({path, picture.image, picture.scaled, picture.fullSize});
}

void TfView::report(const QString &text)
{
    m_reporting = true;
    m_report(text);
    m_reporting = false;
}

// ---- navigation -----------------------------------------------------------------------------

void TfView::moveBox(int left, int top)
{
    Image1->move(left, top);
}

void TfView::ScrollForward()
{
    const QRect r = toRect(viewer::ScrollForward(toBox(Image1->geometry()), width(), height()));
    moveBox(r.x(), r.y());
}

void TfView::ScrollBack()
{
    const QRect r = toRect(viewer::ScrollBack(toBox(Image1->geometry()), width(), height()));
    moveBox(r.x(), r.y());
}

bool TfView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != Image1 && watched != m_client)
        return ViewerBase::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        // A double click is a second press: it steps again on its release.
        const auto *e = static_cast<QMouseEvent *>(event);
        const QPoint p = e->position().toPoint();
        Image1MouseDown(e->buttons(), p.x(), p.y());
        return true;
    }
    case QEvent::MouseMove: {
        const auto *e = static_cast<QMouseEvent *>(event);
        const QPoint p = e->position().toPoint();
        Image1MouseMove(e->buttons(), p.x(), p.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        Image1MouseUp();
        return true;
    default:
        break;
    }
    return ViewerBase::eventFilter(watched, event);
}

void TfView::Image1MouseDown(Qt::MouseButtons buttons, int X, int Y)
{
    if (buttons.testFlag(Qt::LeftButton)) {
        DragAnchorX = X;
        DragAnchorY = Y;
        ClickPending = true;
    } else {
        ClickPending = false;
    }
    if (buttons.testFlag(Qt::MiddleButton)) {
        WheelStepMode = !WheelStepMode;
        if (WheelStepMode)
            setCursor(m_navigationCursor);
        else
            setCursor(Qt::ArrowCursor);
    }
}

void TfView::Image1MouseMove(Qt::MouseButtons buttons, int X, int Y)
{
    if (!buttons.testFlag(Qt::LeftButton))
        return;
    const QRect r = toRect(viewer::dragMove(
        toBox(Image1->geometry()), width(), height(), X, Y, DragAnchorX, DragAnchorY));
    moveBox(r.x(), r.y());
    ClickPending = false;
}

void TfView::Image1MouseUp()
{
    if (ClickPending)
        reportErrors([this] {
            NextPicture();
        });
}

void TfView::wheelEvent(QWheelEvent *event)
{
    // Every 120 units of rotation make one event, however finely the device reports it.
    m_wheelDelta += event->angleDelta().y();
    while (m_wheelDelta <= -kWheelNotch) {
        m_wheelDelta += kWheelNotch;
        FormMouseWheelDown();
    }
    while (m_wheelDelta >= kWheelNotch) {
        m_wheelDelta -= kWheelNotch;
        FormMouseWheelUp();
    }
    event->accept();
}

void TfView::FormMouseWheelDown()
{
    if (WheelStepMode)
        NextPicture();
    else
        ScrollForward();
}

void TfView::FormMouseWheelUp()
{
    if (WheelStepMode)
        PreviousPicture();
    else
        ScrollBack();
}

void TfView::contextMenuEvent(QContextMenuEvent *event)
{
    ClickPending = false;
    PopupMenu1->popup(event->globalPos());
    event->accept();
}

void TfView::keyPressEvent(QKeyEvent *event)
{
    FormKeyDown(event);
}

void TfView::FormKeyDown(QKeyEvent *event)
{
    const bool keypad = event->modifiers().testFlag(Qt::KeypadModifier);
    int key = event->key();
    // With Shift held a digit key reports its shifted symbol; the key itself is what counts.
    if (!keypad && event->nativeScanCode() >= kScanCodeDigit1
        && event->nativeScanCode() <= kScanCodeDigit7)
        key = Qt::Key_1 + static_cast<int>(event->nativeScanCode() - kScanCodeDigit1);
    if (key >= Qt::Key_1 && key <= Qt::Key_7) {
        if (!keypad)
            checkInterval(key - Qt::Key_1);
        return;
    }
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_B:
        PreviousPicture();
        break;
    case Qt::Key_Right:
    case Qt::Key_F:
        NextPicture();
        break;
    case Qt::Key_Up:
        ScrollBack();
        break;
    case Qt::Key_Down:
        ScrollForward();
        break;
    case Qt::Key_G:
        N2Click();
        break;
    case Qt::Key_S:
        N3Click();
        break;
    case Qt::Key_H:
        checkDisplayMode(0);
        break;
    case Qt::Key_J:
        checkDisplayMode(1);
        break;
    case Qt::Key_K:
        checkDisplayMode(2);
        break;
    case Qt::Key_L:
        checkDisplayMode(3);
        break;
    case Qt::Key_I:
        N6Click();
        break;
    case Qt::Key_Q:
        N7Click();
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

// ---- slideshow and commands -----------------------------------------------------------------

void TfView::checkInterval(int index)
{
    QAction *item = TimeItems[static_cast<std::size_t>(index)];
    for (QAction *a : TimeItems)
        a->setChecked(a == item);
    const int interval = item->data().toInt();
    // A running timer restarts only when the interval really changes.
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TfView::N95Click(QAction *item)
{
    if (!item->isChecked()) {
        item->setChecked(true); // chosen while already checked: nothing happens
        return;
    }
    const int interval = item->data().toInt();
    if (Timer1->interval() != interval)
        Timer1->setInterval(interval);
}

void TfView::N2Click()
{
    if (!Timer1->isActive())
        Timer1->start();
}

void TfView::N3Click()
{
    Timer1->stop();
}

void TfView::Timer1Timer()
{
    // While a load error is on screen the slideshow waits for the user to close it.
    if (m_reporting)
        return;
    NextPicture();
    // Each picture is shown for the whole interval, counted from when it is on screen: a picture
    // that had to be decoded in the step would otherwise lose the decoding time.
    if (Timer1->isActive())
        Timer1->start();
}

void TfView::N1Click()
{
    PreviousPicture();
}

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
