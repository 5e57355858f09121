// SPDX-License-Identifier: GPL-3.0-or-later
// The live list build: every file listed at once in its final place with a placeholder box and
// the census written, then the boxes filled in place from the decoding threads while the window
// answers input, the items on screen first.
#include "browser/tfmain_live.h"

#include "browser/census.h"
#include "browser/datetimetext.h"
#include "browser/filelistmodel.h"
#include "browser/listbuilder.h"
#include "browser/livedecoder.h"
#include "browser/selectionpanel.h"
#include "browser/tfmain.h"
#include "browser/thumbcache.h"
#include "browser/thumbfit.h"
#include "browser/typeboxes.h"
#include "frame/errorreport.h"
#include "frame/usererror.h"
#include "platform/fileicons.h"
#include "platform/folderscan.h"

#include <QHash>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>

#include <chrono>

namespace morvane {

namespace {

    const QString kNoMemory =
        QStringLiteral("メモリが不足しているため、ファイル一覧の作成を中断しました。");
    constexpr int kMaxBoxSize = 1024;
    constexpr int kMaxPrioritised = 4096;
    // How long a build fills its boxes before the window takes input again. A folder whose
    // pictures decode within it is complete when the folder change returns, as with a blocking
    // build; a longer build goes on live. The layout is final from the start, so input queued
    // meanwhile still lands on the item it was aimed at.
    constexpr std::chrono::milliseconds kHeadStart {250};

    // The box of a picture not decoded yet: a white box with a light grey frame.
    QImage placeholderBox(int boxSize)
    {
        QImage box(boxSize, boxSize, QImage::Format_RGB32);
        if (box.isNull())
            return box;
        box.fill(Qt::white);
        QPainter painter(&box);
        painter.setPen(QColor(0xc8, 0xc8, 0xc8));
        painter.drawRect(0, 0, boxSize - 1, boxSize - 1);
        return box;
    }

    ListEntry listedEntry(const platform::FolderEntry &f)
    {
        ListEntry item;
        item.caption = f.name;
        item.nativeName = f.nativeName;
        item.modifiedNs = f.mtimeNs;
        item.sizeBytes = f.size;
        const QString dateTime = QString::fromStdString(
            browser::dateTimeText(f.year, f.month, f.day, f.hour, f.minute, f.second));
        item.record = QStringList {
            QStringLiteral("0"), QString::number(f.size), dateTime, QString(), QString()};
        return item;
    }

    // Esc in the list stops the build that fills its boxes; otherwise the key goes on.
    class EscStopsFill : public QObject
    {
    public:
        EscStopsFill(TfMain *window, QObject *parent)
            : QObject(parent)
            , m_window(window)
        {}

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::KeyPress
                && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
                && m_window->isFilling()) {
                m_window->cancelFill();
                return true;
            }
            return QObject::eventFilter(watched, event);
        }

    private:
        TfMain *m_window;
    };

    void placeProgress(const QStatusBar &bar, QProgressBar &progress)
    {
        // The bar may be wider than the window when the panels' widths add up to more.
        const int right = std::min(bar.width(), bar.window()->width() - bar.x());
        progress.move(right - progress.width() - 2, (bar.height() - progress.height()) / 2);
        progress.raise();
    }

} // namespace

bool TfMain::isFilling() const noexcept
{
    return m_fill && m_fill->active;
}

void TfMain::setPictureDecoder(const browser::ListBuilder::PictureDecoder &decoder)
{
    cancelFill();
    m_builder = std::make_unique<browser::ListBuilder>(decoder);
    m_fill->decoder = std::make_unique<browser::LiveDecoder>(decoder, 0, [this] {
        QMetaObject::invokeMethod(this, &TfMain::takeLiveBoxes, Qt::QueuedConnection);
    });
}

void TfMain::connectLiveBuild()
{
    m_fill = std::make_unique<LiveFill>();
    setPictureDecoder({});
    m_fill->progress = new QProgressBar(StatusBar1);
    m_fill->progress->setFormat(QStringLiteral("読み込み中 %v / %m"));
    m_fill->progress->setTextVisible(true);
    // Over the right end of the status bar, outside its layout: at the design width the four
    // panels fill the bar and the last one is never written.
    const int textWidth = m_fill->progress->fontMetrics().horizontalAdvance(
        QStringLiteral("読み込み中 00000 / 00000"));
    m_fill->progress->setFixedSize(textWidth + 16, StatusBar1->height() - 4);
    m_fill->progress->hide();
    ListView1->installEventFilter(new EscStopsFill(this, ListView1));
    QScrollBar *bar = ListView1->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &TfMain::prioritiseVisible);
    connect(bar, &QScrollBar::rangeChanged, this, &TfMain::prioritiseVisible);
    // Items that leave or arrive outside a build (delete, move, drop, copy): the census follows.
    connect(m_list, &QAbstractItemModel::rowsRemoved, this, &TfMain::censusFollowsList);
    connect(m_list, &QAbstractItemModel::rowsInserted, this, &TfMain::censusFollowsList);
}

void TfMain::startLiveBuild()
{
    if (BoxSize < 1 || BoxSize > kMaxBoxSize)
        throw UserError(QStringLiteral("サムネイルの大きさ %1 は扱えません。").arg(BoxSize));
    LiveFill &f = *m_fill;
    const std::vector<platform::FolderEntry> files = platform::scanFolder(FolderNative);
    // Boxes in device pixels, drawn in the logical box of BoxSize.
    const int deviceBox = browser::deviceBoxSize(BoxSize, m_listPixelRatio);
    const ThumbForm placeholder = ThumbForm::fromBox(placeholderBox(deviceBox));
    f.typeBoxes = std::make_shared<browser::TypeBoxes>(f.icons,
        deviceBox,
        browser::deviceBoxSize(platform::FileIcons::kIconSize, m_listPixelRatio));
    f.otherNames.clear();
    f.firstId = f.lastId;
    std::vector<ListEntry> items;
    items.reserve(files.size());
    std::int64_t bytes = 0;
    for (const platform::FolderEntry &file : files) {
        ListEntry item = listedEntry(file);
        bytes += file.size;
        if (imaging::pictureFormatForName(file.nativeName) == imaging::PictureFormat::None) {
            item.record[KindFlag] = QStringLiteral("1");
            item.thumb = ThumbForm::fromType(f.typeBoxes, file.name);
            f.otherNames << file.name;
        } else {
            item.thumb = placeholder;
            item.liveId = ++f.lastId;
        }
        items.push_back(std::move(item));
    }
    f.settingUp = true;
    m_list->resetSorted(std::move(items));
    f.settingUp = false;
    CensusText = QString::fromStdString(browser::censusText(m_list->count(), bytes));
    setPanelText(0, QString::fromStdString(browser::positionText(CensusText.toStdString(), 0)));

    // The jobs in list order, so the rest after the screen is decoded from the top down.
    std::vector<browser::LiveJob> jobs;
    f.rowHint.assign(static_cast<std::size_t>(f.lastId - f.firstId), -1);
    QHash<QByteArray, const platform::FolderEntry *> byName;
    for (const platform::FolderEntry &file : files)
        byName.insert(file.nativeName, &file);
    for (int row = 0; row < m_list->count(); ++row) {
        const ListEntry &e = m_list->entry(row);
        if (e.liveId == 0)
            continue;
        const platform::FolderEntry &file = *byName.value(e.nativeName);
        f.rowHint[static_cast<std::size_t>(e.liveId - f.firstId - 1)] = row;
        jobs.push_back({e.liveId,
            e.nativeName,
            imaging::pictureFormatForName(e.nativeName),
            {file.size, file.mtimeNs, file.ctimeNs, file.inode}});
    }
    f.jobs = static_cast<int>(jobs.size());
    f.delivered = 0;
    f.cacheWrites = 0;
    f.repaintEach = UpDate1->isChecked();
    f.active = true;
    if (jobs.empty()) {
        endFill();
        return;
    }
    setCursor(Qt::BusyCursor);
    f.progress->setRange(0, f.jobs);
    f.progress->setValue(0);
    placeProgress(*StatusBar1, *f.progress);
    f.progress->show();
    browser::LiveDecoder::Options options;
    options.folder = FolderNative.isEmpty() ? QByteArray("/") : FolderNative;
    options.boxSize = deviceBox;
    options.jpegScale = std::clamp(JpegScale, 0, 3);
    options.cache = m_cache.get();
    options.autoRotate = fOp == nullptr || fOp->autoRotate();
    options.readCache = !m_refreshing;
    f.decoder->start(options, std::move(jobs));
    ListView1->doItemsLayout();
    prioritiseVisible();
    const auto deadline = std::chrono::steady_clock::now() + kHeadStart;
    while (f.active && f.decoder->waitForBoxes(deadline))
        takeLiveBoxes();
}

void TfMain::takeLiveBoxes()
{
    LiveFill &f = *m_fill;
    std::vector<browser::LiveBox> boxes = f.decoder->takeBoxes();
    if (!f.active)
        return;
    QString failure;
    bool selectedFilled = false;
    for (browser::LiveBox &box : boxes) {
        const auto job = static_cast<std::size_t>(box.id - f.firstId - 1);
        const int row = m_list->findLiveId(box.id, job < f.rowHint.size() ? f.rowHint[job] : -1);
        if (row < 0) {
            ++f.delivered; // the item left the list meanwhile
            continue;
        }
        const ListEntry &e = m_list->entry(row);
        if (e.nativeName != box.nativeName) {
            f.decoder->retry(box.id, e.nativeName); // renamed while it was decoded
            continue;
        }
        if (box.outcome == browser::LiveBox::Outcome::NoMemory
            || box.outcome == browser::LiveBox::Outcome::Failed) {
            failure = box.outcome == browser::LiveBox::Outcome::NoMemory
                ? kNoMemory
                : QStringLiteral("「%1」を読み込めないため、ファイル一覧の作成を中断しました。")
                      .arg(e.caption);
            break;
        }
        QStringList record = e.record;
        ThumbForm thumb;
        if (box.outcome == browser::LiveBox::Outcome::Picture) {
            record[WidthField] = QString::number(box.fullWidth);
            record[HeightField] = QString::number(box.fullHeight);
            thumb = std::move(box.form);
            f.cacheWrites += box.toCache ? 1 : 0;
        } else {
            record[KindFlag] = QStringLiteral("1"); // not a picture after all
            thumb = ThumbForm::fromType(f.typeBoxes, e.caption);
            f.otherNames << e.caption;
        }
        selectedFilled =
            selectedFilled || (SelectedNames.size() == 1 && SelectedNames.front() == e.nativeName);
        m_list->fillEntry(row, std::move(thumb), std::move(record), f.repaintEach);
        ++f.delivered;
    }
    if (selectedFilled)
        ListView1SelectItem(); // the selection panel shows the picture's size now known
    if (!failure.isEmpty()) {
        cancelFill();
        reportErrors([&] {
            throw UserError(failure);
        });
        return;
    }
    f.progress->setValue(f.delivered);
    placeProgress(*StatusBar1, *f.progress); // the window may have been resized
    if (f.delivered >= f.jobs)
        endFill();
}

void TfMain::prioritiseVisible()
{
    LiveFill &f = *m_fill;
    if (!f.active || m_list->count() == 0)
        return;
    // The first row on screen: rows are laid out in list order, line by line.
    const int height = ListView1->viewport()->height();
    int low = 0;
    int high = m_list->count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (ListView1->visualRect(m_list->index(mid)).bottom() < 0)
            low = mid + 1;
        else
            high = mid;
    }
    const int scroll = ListView1->verticalScrollBar()->value();
    const bool upwards = scroll < f.lastScroll;
    f.lastScroll = scroll;
    std::vector<std::uint64_t> ids;
    const auto add = [&](int row) {
        if (const quint64 id = m_list->entry(row).liveId; id > f.firstId)
            ids.push_back(id);
    };
    // The screen, then one screen ahead in the direction of the scroll.
    int row = low;
    const int below = upwards ? height : 2 * height;
    for (; row < m_list->count() && ids.size() < kMaxPrioritised; ++row) {
        if (ListView1->visualRect(m_list->index(row)).top() >= below)
            break;
        add(row);
    }
    if (upwards) {
        for (row = low - 1; row >= 0 && ids.size() < kMaxPrioritised; --row) {
            if (ListView1->visualRect(m_list->index(row)).bottom() < -height)
                break;
            add(row);
        }
    }
    f.decoder->prioritise(ids);
}

void TfMain::endFill()
{
    LiveFill &f = *m_fill;
    f.active = false;
    unsetCursor();
    f.progress->hide();
    if (!f.repaintEach)
        m_list->notifyAll();
    f.typeBoxes->lookUpAhead(std::move(f.otherNames));
    f.otherNames.clear();
    if (m_cache && f.cacheWrites > 0) {
        (void)f.decoder->runWhileIdle([this] {
            m_cache->prune();
        });
    }
    emit listBuilt();
}

void TfMain::cancelFill()
{
    if (!isFilling())
        return;
    LiveFill &f = *m_fill;
    f.decoder->cancel();
    f.active = false;
    unsetCursor();
    f.progress->hide();
    if (!f.repaintEach)
        m_list->notifyAll();
}

void TfMain::censusFollowsList()
{
    if (m_fill->settingUp || m_builder->isBuilding())
        return; // a build writes the census itself
    std::int64_t bytes = 0;
    for (int row = 0; row < m_list->count(); ++row)
        bytes += browser::recordedSize(m_list->entry(row).record.value(SizeField).toStdString());
    CensusText = QString::fromStdString(browser::censusText(m_list->count(), bytes));
    setPanelText(0,
        QString::fromStdString(
            browser::positionText(CensusText.toStdString(), firstSelectedRow() + 1)));
}

} // namespace morvane
