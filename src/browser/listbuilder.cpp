// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/listbuilder.h"

#include "browser/datetimetext.h"
#include "browser/thumbfit.h"
#include "platform/folderscan.h"
#include "platform/imagedecode.h"

#include <QHash>
#include <QPainter>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

namespace morvane::browser {
namespace {

    constexpr int kMaxBoxSize = 1024;
    // Finished boxes that may wait for delivery, per decoding thread: enough to keep every
    // thread busy while a slow file holds up delivery, few enough that memory stays small.
    constexpr int kLookAheadPerThread = 4;

    const QString kNoMemory =
        QStringLiteral("メモリが不足しているため、ファイル一覧の作成を中断しました。");

    enum class Outcome { Picture, Other, NoMemory };

    struct PictureBox
    {
        Outcome outcome = Outcome::Other;
        QImage box;
        int fullWidth = 0;
        int fullHeight = 0;
    };

    QImage whiteBox(int boxSize)
    {
        QImage box(boxSize, boxSize, QImage::Format_RGB32);
        if (!box.isNull())
            box.fill(0xFFFFFFFFu);
        return box;
    }

    // Nearest-neighbour stretch of an opaque RGB32 picture into the top-left w x h rectangle of
    // `box`, sampling each target pixel's centre. Cheaper than a painter for the few thousand
    // pixels of a thumbnail and exactly the same on every thread.
    void stretchOpaque(const QImage &src, QImage &box, int w, int h)
    {
        const int sw = src.width();
        const int sh = src.height();
        std::vector<int> columns(static_cast<std::size_t>(w));
        for (int x = 0; x < w; ++x) {
            columns[static_cast<std::size_t>(x)] = static_cast<int>(
                ((2 * static_cast<std::int64_t>(x) + 1) * sw) / (2 * static_cast<std::int64_t>(w)));
        }
        for (int y = 0; y < h; ++y) {
            const auto sy = static_cast<int>(
                ((2 * static_cast<std::int64_t>(y) + 1) * sh) / (2 * static_cast<std::int64_t>(h)));
            const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(sy));
            auto *out = reinterpret_cast<QRgb *>(box.scanLine(y));
            for (int x = 0; x < w; ++x)
                out[x] = in[columns[static_cast<std::size_t>(x)]];
        }
    }

    // Decodes one picture candidate and draws its box. Any thread: touches no shared state.
    PictureBox makePictureBox(
        const QByteArray &path, platform::PictureFormat format, int boxSize, int jpegScale)
    {
        PictureBox result;
        const std::optional<platform::DecodedPicture> picture =
            platform::decodePictureFile(path, format, jpegScale);
        if (!picture)
            return result; // unknown, unreadable or undecodable: an other file
        const QImage &image = picture->image;
        const std::optional<DrawnSize> drawn = fitToBox(image.width(), image.height(), boxSize);
        if (!drawn)
            return result; // a side of zero pixels: nothing to show, an other file
        result.box = whiteBox(boxSize);
        if (result.box.isNull()) {
            result.outcome = Outcome::NoMemory;
            return result;
        }
        if (format == platform::PictureFormat::Icon) {
            // Icons keep their own size, whatever the fit says; transparent parts show white.
            QPainter painter(&result.box);
            painter.drawImage(0, 0, image);
        } else if (image.format() == QImage::Format_RGB32) {
            stretchOpaque(
                image, result.box, static_cast<int>(drawn->width), static_cast<int>(drawn->height));
        } else {
            QPainter painter(&result.box);
            painter.drawImage(
                QRect(0, 0, static_cast<int>(drawn->width), static_cast<int>(drawn->height)),
                image);
        }
        result.outcome = Outcome::Picture;
        result.fullWidth = picture->fullWidth;
        result.fullHeight = picture->fullHeight;
        return result;
    }

    // The decodes of one build that run ahead on the pool. Shared with the tasks, so a task that
    // finishes after an aborted build still writes into live memory.
    struct AheadState
    {
        std::mutex mutex;
        std::condition_variable finished;
        std::vector<std::optional<PictureBox>> results; // per entry; set when decoded
        bool cancelled = false;
        int running = 0; // tasks started and not yet done
    };

    // Ends the decoding ahead when a build ends, normally or by an exception from the item
    // callback: queued tasks see the flag and return without decoding (at most the look-ahead
    // of them), and the build returns only when no task is left, so none outlives it.
    class AheadGuard
    {
    public:
        AheadGuard(QThreadPool *pool, std::shared_ptr<AheadState> state)
            : m_pool(pool)
            , m_state(std::move(state))
        {}
        ~AheadGuard()
        {
            if (m_pool == nullptr)
                return;
            {
                const std::lock_guard lock(m_state->mutex);
                m_state->cancelled = true;
            }
            std::unique_lock lock(m_state->mutex);
            m_state->finished.wait(lock, [this] {
                return m_state->running == 0;
            });
        }
        AheadGuard(const AheadGuard &) = delete;
        AheadGuard &operator=(const AheadGuard &) = delete;

    private:
        QThreadPool *m_pool;
        std::shared_ptr<AheadState> m_state;
    };

} // namespace

ListBuilder::ListBuilder() = default;

ListBuilder::~ListBuilder()
{
    if (m_pool)
        m_pool->waitForDone();
}

QThreadPool *ListBuilder::pool(int threads)
{
    if (!m_pool) {
        m_pool = std::make_unique<QThreadPool>();
        m_pool->setObjectName(QStringLiteral("morvane-list-decoders"));
    }
    if (m_pool->maxThreadCount() != threads)
        m_pool->setMaxThreadCount(threads);
    return m_pool.get();
}

ListBuildResult ListBuilder::build(
    const QByteArray &folderNative, const ListBuildOptions &options, const ItemSink &onItem)
{
    ListBuildResult result;
    if (m_building) {
        result.completed = false;
        result.failure = QStringLiteral("ファイル一覧の作成中は、次の作成を始められません。");
        return result;
    }
    if (options.boxSize < 1 || options.boxSize > kMaxBoxSize) {
        result.completed = false;
        result.failure =
            QStringLiteral("サムネイルの大きさ %1 は扱えません。").arg(options.boxSize);
        return result;
    }
    m_building = true;
    struct BuildingFlag
    {
        bool &flag;
        ~BuildingFlag() { flag = false; }
    } const building {m_building};

    const int boxSize = options.boxSize;
    const int jpegScale = std::clamp(options.jpegScale, 0, 3);
    int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    threads = std::max(threads, 1);

    const std::vector<platform::FolderEntry> entries = platform::scanFolder(folderNative);
    std::vector<platform::PictureFormat> formats;
    formats.reserve(entries.size());
    for (const platform::FolderEntry &e : entries)
        formats.push_back(platform::pictureFormatForName(e.nativeName));

    auto pathOf = [&folderNative, &entries](std::size_t i) {
        return platform::joinNative(
            folderNative.isEmpty() ? QByteArray("/") : folderNative, entries[i].nativeName);
    };

    // Other files of one type share one box: the icon is drawn once per build, and the list's
    // images share the pixels until someone paints on one.
    QHash<QString, QImage> otherBoxes;
    auto otherBox = [&](const QString &name) -> QImage {
        const QString mime = m_icons.mimeTypeForFileName(name);
        const auto found = otherBoxes.constFind(mime);
        if (found != otherBoxes.cend())
            return *found;
        QImage box = whiteBox(boxSize);
        if (box.isNull())
            return box;
        {
            QPainter painter(&box);
            const int at = boxSize / 2 - platform::FileIcons::kIconSize / 2;
            painter.drawImage(at, at, m_icons.iconForMimeType(mime));
        }
        otherBoxes.insert(mime, box);
        return box;
    };

    // Decoding ahead: only when more than one thread is asked for and there is a picture to
    // decode. The calling thread hands over items while the pool decodes the next pictures.
    std::shared_ptr<AheadState> ahead;
    QThreadPool *decoders = nullptr;
    const bool anyPicture = std::any_of(formats.begin(), formats.end(), [](auto f) {
        return f != platform::PictureFormat::None;
    });
    if (threads > 1 && anyPicture) {
        decoders = pool(threads);
        ahead = std::make_shared<AheadState>();
        ahead->results.resize(entries.size());
    }
    const AheadGuard guard(decoders, ahead);
    std::size_t nextToQueue = 0; // first entry not yet considered for queueing
    int queuedUndelivered = 0; // queued pictures not yet handed over
    const int lookAhead = threads * kLookAheadPerThread;

    auto queueMore = [&](std::size_t delivering) {
        while (nextToQueue < entries.size()
            && (queuedUndelivered < lookAhead || nextToQueue <= delivering)) {
            const std::size_t i = nextToQueue++;
            if (formats[i] == platform::PictureFormat::None)
                continue;
            ++queuedUndelivered;
            {
                const std::lock_guard lock(ahead->mutex);
                ++ahead->running;
            }
            decoders->start(
                [state = ahead, i, path = pathOf(i), format = formats[i], boxSize, jpegScale] {
                    bool cancelled = false;
                    {
                        const std::lock_guard lock(state->mutex);
                        cancelled = state->cancelled;
                    }
                    PictureBox box;
                    if (!cancelled)
                        box = makePictureBox(path, format, boxSize, jpegScale);
                    const std::lock_guard lock(state->mutex);
                    state->results[i] = std::move(box);
                    --state->running;
                    state->finished.notify_all();
                });
        }
    };

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const platform::FolderEntry &entry = entries[i];
        PictureBox picture;
        if (formats[i] != platform::PictureFormat::None) {
            if (ahead) {
                queueMore(i);
                std::unique_lock lock(ahead->mutex);
                ahead->finished.wait(lock, [&] {
                    return ahead->results[i].has_value();
                });
                picture = std::move(*ahead->results[i]);
                ahead->results[i].reset();
                --queuedUndelivered;
            } else {
                picture = makePictureBox(pathOf(i), formats[i], boxSize, jpegScale);
            }
        }
        if (picture.outcome == Outcome::NoMemory) {
            result.completed = false;
            result.failure = kNoMemory;
            return result;
        }

        ListEntry item;
        item.caption = entry.name;
        item.nativeName = entry.nativeName;
        const QString dateTime = QString::fromStdString(dateTimeText(
            entry.year, entry.month, entry.day, entry.hour, entry.minute, entry.second));
        if (picture.outcome == Outcome::Picture) {
            item.image = std::move(picture.box);
            item.record = QStringList {QStringLiteral("0"),
                QString::number(entry.size),
                dateTime,
                QString::number(picture.fullWidth),
                QString::number(picture.fullHeight)};
            ++result.pictures;
        } else {
            item.image = otherBox(entry.name);
            if (item.image.isNull()) {
                result.completed = false;
                result.failure = kNoMemory;
                return result;
            }
            item.record = QStringList {
                QStringLiteral("1"), QString::number(entry.size), dateTime, QString(), QString()};
            ++result.others;
        }
        ++result.files;
        result.bytes += entry.size;
        onItem(std::move(item));
    }
    return result;
}

} // namespace morvane::browser
