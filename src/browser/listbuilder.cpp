// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/listbuilder.h"

#include "browser/datetimetext.h"
#include "browser/thumbcache.h"
#include "browser/thumbfit.h"
#include "browser/typeboxes.h"
#include "imaging/imagedecode.h"
#include "platform/folderscan.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <pthread.h>
#include <vector>

namespace morvane::browser {
namespace {

    constexpr int kMaxBoxSize = 1024;
    // Finished boxes that may wait for delivery, per decoding thread: enough to keep every
    // thread busy while a slow file holds up delivery, few enough that memory stays small. The
    // queue is topped up when half of it is delivered, so a thread waiting for entries is woken
    // once per several pictures rather than once per picture.
    constexpr int kLookAheadPerThread = 8;

    const QString kNoMemory =
        QStringLiteral("メモリが不足しているため、ファイル一覧の作成を中断しました。");

    // An exception other than a failure to allocate, thrown while the file was decoded.
    QString decodeFailure(const QString &name)
    {
        return QStringLiteral("「%1」を読み込めないため、ファイル一覧の作成を中断しました。")
            .arg(name);
    }

    // What became of one picture candidate. NoMemory and Failed from a decoding thread are
    // tried once more on the calling thread, alone.
    using Outcome = DrawnBox::Outcome;

    struct PictureBox : DrawnBox
    {
        bool fromCache = false; // read from the thumbnail cache
        bool toCache = false; // written to it

        PictureBox() = default;
        PictureBox(DrawnBox drawn)
            : DrawnBox(std::move(drawn))
        {}
    };

    PictureBox failedBox(Outcome outcome) noexcept
    {
        PictureBox box;
        box.outcome = outcome;
        return box;
    }

    // What decoding one entry needs; owned by the build, which outlives its decoding threads.
    struct DecodeJob
    {
        const ListBuilder::PictureDecoder &decoder;
        const QByteArray &folder; // never empty: "/" for the root
        const std::vector<platform::FolderEntry> &entries;
        const std::vector<imaging::PictureFormat> &formats;
        int boxSize;
        int jpegScale;
        bool autoRotate;
        ThumbCache *cache;
        bool readCache;
    };

    // The decodes that run ahead of the delivery, shared by the decoding threads and the calling
    // thread. Every member is guarded by `mutex`. A thread is woken only when what it waits for
    // may have come: the decoding threads (on `workChanged`) when entries are queued, memory is
    // freed, the pause ends or the build stops; the calling thread (on `resultStored`) when the
    // entry it waits for is stored or the last busy thread is done. With thousands of small
    // files, waking every thread at every change cost more than the decodes.
    //
    // Memory: a thread takes an entry only when the file's size (from the enumeration) fits in
    // the budget beside what is held already, and its decode, once the decoder knows from the
    // header what it needs, goes on only when that fits. So file bytes, decodes and finished
    // boxes together stay within the budget, except for one decode that needs more than the
    // whole budget: it waits until no other decode runs.
    struct AheadState
    {
        std::mutex mutex;
        std::condition_variable workChanged;
        std::condition_variable resultStored;
        int sleepingDecoders = 0; // decoding threads waiting on workChanged
        bool deliveryWaiting = false; // the calling thread waits on resultStored
        std::size_t awaited = 0; // the entry it waits for, while it waits for one
        std::vector<std::optional<PictureBox>> results; // per entry; set when decoded
        std::size_t queuedEnd = 0; // entries below this may be decoded ahead
        std::size_t nextToTake = 0; // the first entry no thread has looked at
        bool paused = false; // take nothing new: a decode runs alone on the calling thread
        bool stopping = false; // the build ends: take nothing, give up waiting for memory
        int busy = 0; // threads between taking an entry and storing its result
        int decoding = 0; // decodes that the memory gate let through and that are not done
        std::int64_t pending = 0; // file sizes of entries taken but not let through
        std::int64_t charged = 0; // bytes of those decodes and of boxes not yet handed over
        std::int64_t budget = 0;
        const DecodeJob *job = nullptr;

        // Waits on workChanged until `ready` holds. Caller holds `lock`.
        template <typename Ready> void awaitWork(std::unique_lock<std::mutex> &lock, Ready ready)
        {
            ++sleepingDecoders;
            workChanged.wait(lock, ready);
            --sleepingDecoders;
        }
        // After a change that may let a decoding thread go on. Caller holds the mutex.
        void wakeDecoders()
        {
            if (sleepingDecoders > 0)
                workChanged.notify_all();
        }
    };

    // What one taken entry holds of the budget.
    struct Claim
    {
        std::int64_t fileBytes = 0; // counted in `pending` until the decode is let through
        std::int64_t admitted = -1; // counted in `charged` once let through
    };

    // The memory gate of a decoding thread: lets a decode through when its bytes fit in what the
    // budget leaves, or when no other decode runs (so the one that alone needs more than the
    // budget runs alone, and the thread the delivery waits for always gets through).
    bool admit(AheadState &s, std::int64_t bytes, Claim &claim)
    {
        std::unique_lock lock(s.mutex);
        s.awaitWork(lock, [&] {
            return s.stopping || s.decoding == 0
                || s.charged + s.pending - claim.fileBytes + bytes <= s.budget;
        });
        if (s.stopping)
            return false;
        s.pending -= claim.fileBytes;
        s.charged += bytes;
        if (bytes < claim.fileBytes)
            s.wakeDecoders(); // less held than before
        claim.fileBytes = 0;
        ++s.decoding;
        claim.admitted = bytes;
        return true;
    }

    // One picture candidate from file to box. No exception leaves: the outcome tells what
    // happened. With `ahead`, the decode asks its memory gate for `claim`; without, nothing else
    // decodes. Any thread.
    PictureBox decodeEntry(const DecodeJob &job,
        std::size_t i,
        AheadState *ahead = nullptr,
        Claim *claim = nullptr) noexcept
    {
        try {
            const QByteArray path = platform::joinNative(job.folder, job.entries[i].nativeName);
            const imaging::PictureFormat format = job.formats[i];
            const platform::FolderEntry &e = job.entries[i];
            const ThumbKey key {path.toStdString(), job.boxSize, job.jpegScale, job.autoRotate};
            const FileStamp stamp {e.size, e.mtimeNs, e.ctimeNs, e.inode};
            if (job.cache != nullptr && job.readCache) {
                if (std::optional<CachedPicture> hit = job.cache->read(key, stamp)) {
                    PictureBox box;
                    box.outcome = Outcome::Picture;
                    box.form = std::move(hit->form);
                    box.fullWidth = hit->fullWidth;
                    box.fullHeight = hit->fullHeight;
                    box.fromCache = true;
                    return box;
                }
            }
            imaging::MemoryGate gate;
            if (ahead != nullptr) {
                gate = [ahead, claim](std::int64_t bytes) {
                    return admit(*ahead, bytes, *claim);
                };
            }
            const imaging::ThumbRequest request {job.jpegScale, job.boxSize, job.autoRotate};
            PictureBox box =
                drawPictureBox(job.decoder(path, format, request, gate), format, job.boxSize);
            if (job.cache != nullptr && box.outcome == Outcome::Picture) {
                box.toCache = job.cache->write(
                    key, stamp, CachedPicture {box.form, box.fullWidth, box.fullHeight});
            }
            return box;
        } catch (const std::bad_alloc &) {
            return failedBox(Outcome::NoMemory);
        } catch (...) {
            return failedBox(Outcome::Failed);
        }
    }

    // Stores the outcome of entry i and ends its thread's turn. Caller holds the mutex.
    void store(AheadState &s, std::size_t i, PictureBox &&box)
    {
        s.results[i] = std::move(box);
        --s.busy;
        if (s.deliveryWaiting && (s.awaited == i || s.busy == 0))
            s.resultStored.notify_one();
    }

    std::int64_t fileBytes(const DecodeJob &job, std::size_t i)
    {
        return std::max<std::int64_t>(job.entries[i].size, 0);
    }

    // Whether the next queued entry may be taken now: an other file always; a picture when its
    // file fits in the budget beside what is held, or when nothing else is held. Caller holds
    // the mutex.
    bool canTakeNext(const AheadState &s, const DecodeJob &job)
    {
        if (s.stopping || s.paused || s.nextToTake >= s.queuedEnd)
            return false;
        const std::size_t i = s.nextToTake;
        return job.formats[i] == imaging::PictureFormat::None
            || s.charged + s.pending + fileBytes(job, i) <= s.budget
            || (s.decoding == 0 && s.pending == 0);
    }

    // Takes the next entry (canTakeNext() holds), works on it with the mutex released and stores
    // its outcome. Run by the decoding threads and by the calling thread while the entry it is to
    // hand over is not done: it works instead of waiting to be woken.
    void runNext(AheadState &s, const DecodeJob &job, std::unique_lock<std::mutex> &lock) noexcept
    {
        const std::size_t i = s.nextToTake++;
        ++s.busy;
        if (job.formats[i] == imaging::PictureFormat::None) {
            store(s, i, PictureBox()); // an other file: nothing to decode
            return;
        }
        Claim claim;
        claim.fileBytes = fileBytes(job, i);
        s.pending += claim.fileBytes;
        lock.unlock();
        PictureBox box = decodeEntry(job, i, &s, &claim);
        lock.lock();
        const std::int64_t heldBefore = s.charged + s.pending;
        s.pending -= claim.fileBytes; // never let through: read error, not a picture
        if (claim.admitted >= 0) {
            --s.decoding;
            s.charged -= claim.admitted;
        }
        if (box.outcome == Outcome::Picture)
            s.charged += box.form.bytes();
        if (s.charged + s.pending < heldBefore || s.decoding == 0)
            s.wakeDecoders();
        store(s, i, std::move(box));
    }

    // A decoding thread: takes the queued entries in enumeration order and stores their
    // outcomes until the build stops.
    void decodeAhead(AheadState &s, const DecodeJob &job) noexcept
    {
        std::unique_lock lock(s.mutex);
        for (;;) {
            s.awaitWork(lock, [&] {
                return s.stopping || canTakeNext(s, job);
            });
            if (s.stopping)
                return;
            runNext(s, job, lock);
        }
    }

    // Stack of a decoding thread. The default (the stack limit, often 8 MiB) would take address
    // space that a build on one thread does not use; decoding needs a small fraction of this.
    constexpr std::size_t kDecoderStack = std::size_t(2) << 20;

    void *runDecoder(void *state)
    {
        auto &s = *static_cast<AheadState *>(state);
        decodeAhead(s, *s.job);
        return nullptr;
    }

    // Starts one decoding thread; false when the system gives none (no memory, thread limit).
    bool startDecoder(AheadState &s, pthread_t &thread)
    {
        pthread_attr_t attr;
        if (pthread_attr_init(&attr) != 0)
            return false;
        (void)pthread_attr_setstacksize(&attr, kDecoderStack); // else the default stands
        const int error = pthread_create(&thread, &attr, runDecoder, &s);
        pthread_attr_destroy(&attr);
        return error == 0;
    }

    // Ends the decoding ahead when a build ends, normally, early or by an exception from the
    // item callback: the threads stop taking entries, a decode waiting for memory gives up, and
    // the build returns only when every thread has ended.
    class AheadGuard
    {
    public:
        AheadGuard(AheadState *state, const std::vector<pthread_t> &threads)
            : m_state(state)
            , m_threads(threads)
        {}
        ~AheadGuard()
        {
            if (m_state != nullptr) {
                const std::lock_guard lock(m_state->mutex);
                m_state->stopping = true;
                m_state->workChanged.notify_all();
            }
            for (const pthread_t thread : m_threads)
                pthread_join(thread, nullptr);
        }
        AheadGuard(const AheadGuard &) = delete;
        AheadGuard &operator=(const AheadGuard &) = delete;

    private:
        AheadState *m_state;
        const std::vector<pthread_t> &m_threads;
    };

} // namespace

// The compact form of a decoded picture's box. Any thread: touches no shared state.
DrawnBox drawPictureBox(
    const imaging::DecodeResult &decoded, imaging::PictureFormat format, int boxSize)
{
    DrawnBox result;
    if (decoded.status == imaging::DecodeStatus::NoMemory) {
        result.outcome = Outcome::NoMemory;
        return result;
    }
    if (decoded.status != imaging::DecodeStatus::Decoded)
        return result; // unknown, unreadable, too large or undecodable: an other file
    const QImage &image = decoded.picture.image;
    if (!fitToBox(image.width(), image.height(), boxSize))
        return result; // a side of zero pixels: nothing to show, an other file
    std::optional<ThumbForm> form =
        ThumbForm::fromPicture(image, format == imaging::PictureFormat::Icon, boxSize);
    if (!form) {
        result.outcome = Outcome::NoMemory;
        return result;
    }
    result.form = std::move(*form);
    result.outcome = Outcome::Picture;
    result.fullWidth = decoded.picture.fullWidth;
    result.fullHeight = decoded.picture.fullHeight;
    return result;
}

ListBuilder::ListBuilder(PictureDecoder decoder)
    : m_icons(std::make_shared<platform::FileIcons>())
    , m_decoder(decoder ? std::move(decoder) : defaultDecoder())
{}

ListBuilder::PictureDecoder ListBuilder::defaultDecoder()
{
    return [](const QByteArray &path,
               imaging::PictureFormat format,
               const imaging::ThumbRequest &request,
               const imaging::MemoryGate &gate) {
        return imaging::decodePictureFile(path, format, request, gate);
    };
}

ListBuilder::~ListBuilder() = default;

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

    // Memory that runs out on this thread ends the build as a failed decode does; an exception
    // from the item callback is not ours to judge and propagates unchanged.
    bool inCallback = false;
    try {
        buildItems(folderNative, options, onItem, result, inCallback);
    } catch (const std::bad_alloc &) {
        if (inCallback)
            throw;
        result.completed = false;
        result.failure = kNoMemory;
    }
    if (options.cache != nullptr && result.cacheWrites > 0)
        options.cache->prune();
    return result;
}

void ListBuilder::buildItems(const QByteArray &folderNative,
    const ListBuildOptions &options,
    const ItemSink &onItem,
    ListBuildResult &result,
    bool &inCallback)
{
    const int boxSize = deviceBoxSize(options.boxSize, options.devicePixelRatio);
    int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    threads = std::max(threads, 1);

    const QByteArray folder = folderNative.isEmpty() ? QByteArray("/") : folderNative;
    const std::vector<platform::FolderEntry> entries = platform::scanFolder(folderNative);
    std::vector<imaging::PictureFormat> formats;
    formats.reserve(entries.size());
    for (const platform::FolderEntry &e : entries)
        formats.push_back(imaging::pictureFormatForName(e.nativeName));
    const DecodeJob job {m_decoder,
        folder,
        entries,
        formats,
        boxSize,
        std::clamp(options.jpegScale, 0, 3),
        options.autoRotate,
        options.cache,
        options.readCache};

    // Other files of one type share one box, drawn when the list first shows one of them.
    const auto typeBoxes = std::make_shared<TypeBoxes>(
        m_icons, boxSize, deviceBoxSize(platform::FileIcons::kIconSize, options.devicePixelRatio));
    QStringList otherNames;

    // Decoding ahead: only when more than one thread is asked for and there is a picture to
    // decode. The calling thread is one of them: it starts one thread fewer than asked for and,
    // between handing over items, decodes whatever is queued next instead of waiting. A thread
    // per core beside a calling thread that mostly waited meant more threads than cores, and
    // with thousands of small files the switches between them cost a third of the build.
    // When fewer threads can be started than asked for, the build goes on with those there are,
    // or with the calling thread alone.
    std::unique_ptr<AheadState> ahead;
    std::vector<pthread_t> decoders;
    const bool anyPicture = std::any_of(formats.begin(), formats.end(), [](auto f) {
        return f != imaging::PictureFormat::None;
    });
    if (threads > 1 && anyPicture) {
        ahead = std::make_unique<AheadState>();
        ahead->job = &job;
        ahead->results.resize(entries.size());
        ahead->budget = std::max<std::int64_t>(options.decodeMemoryBudget, 0);
        decoders.reserve(static_cast<std::size_t>(threads - 1));
        for (int t = 1; t < threads; ++t) {
            pthread_t thread {};
            if (!startDecoder(*ahead, thread))
                break;
            decoders.push_back(thread); // cannot throw: reserved
        }
        if (decoders.empty())
            ahead.reset();
    }
    const AheadGuard guard(ahead.get(), decoders);
    std::size_t nextToQueue = 0; // first entry not yet queued
    int queuedUndelivered = 0; // queued pictures not yet handed over
    const int lookAhead = static_cast<int>(decoders.size() + 1) * kLookAheadPerThread;

    auto queueMore = [&](std::size_t delivering) {
        if (queuedUndelivered > lookAhead / 2 && nextToQueue > delivering)
            return;
        const std::size_t before = nextToQueue;
        while (nextToQueue < entries.size()
            && (queuedUndelivered < lookAhead || nextToQueue <= delivering)) {
            if (formats[nextToQueue++] != imaging::PictureFormat::None)
                ++queuedUndelivered;
        }
        if (nextToQueue != before) {
            const std::lock_guard lock(ahead->mutex);
            ahead->queuedEnd = nextToQueue;
            ahead->wakeDecoders();
        }
    };

    // Waits on resultStored until `ready` holds, for entry `i` (or for the busy threads).
    auto awaitResult = [&](std::unique_lock<std::mutex> &lock, std::size_t i, auto ready) {
        ahead->deliveryWaiting = true;
        ahead->awaited = i;
        ahead->resultStored.wait(lock, ready);
        ahead->deliveryWaiting = false;
    };

    // The box of entry i from the decoding threads, as soon as it is there; meanwhile this
    // thread decodes the next queued entries itself.
    auto takeAhead = [&](std::size_t i) {
        queueMore(i);
        std::unique_lock lock(ahead->mutex);
        while (!ahead->results[i].has_value()) {
            if (canTakeNext(*ahead, job)) {
                runNext(*ahead, job, lock);
                continue;
            }
            awaitResult(lock, i, [&] {
                return ahead->results[i].has_value();
            });
        }
        PictureBox box = std::move(*ahead->results[i]);
        ahead->results[i].reset();
        if (formats[i] != imaging::PictureFormat::None)
            --queuedUndelivered;
        if (box.outcome == Outcome::Picture) {
            ahead->charged -= box.form.bytes();
            ahead->wakeDecoders();
        }
        if (box.outcome == Outcome::NoMemory || box.outcome == Outcome::Failed) {
            // It failed beside other decodes. Once none runs and their memory is free, it is
            // decoded here alone, as a build on one thread would have done.
            ahead->paused = true;
            awaitResult(lock, entries.size(), [&] {
                return ahead->busy == 0;
            });
            lock.unlock();
            box = decodeEntry(job, i);
            lock.lock();
            ahead->paused = false;
            ahead->wakeDecoders();
        }
        return box;
    };

    for (std::size_t i = 0; i < entries.size(); ++i) {
        const platform::FolderEntry &entry = entries[i];
        PictureBox picture;
        if (ahead)
            picture = takeAhead(i);
        else if (formats[i] != imaging::PictureFormat::None)
            picture = decodeEntry(job, i);
        if (picture.outcome == Outcome::NoMemory || picture.outcome == Outcome::Failed) {
            result.completed = false;
            result.failure =
                picture.outcome == Outcome::NoMemory ? kNoMemory : decodeFailure(entry.name);
            return;
        }

        ListEntry item;
        item.caption = entry.name;
        item.nativeName = entry.nativeName;
        item.modifiedNs = entry.mtimeNs;
        item.sizeBytes = entry.size;
        const QString dateTime = QString::fromStdString(dateTimeText(
            entry.year, entry.month, entry.day, entry.hour, entry.minute, entry.second));
        if (picture.outcome == Outcome::Picture) {
            item.thumb = std::move(picture.form);
            result.cacheReads += picture.fromCache ? 1 : 0;
            result.cacheWrites += picture.toCache ? 1 : 0;
            item.record = QStringList {QStringLiteral("0"),
                QString::number(entry.size),
                dateTime,
                QString::number(picture.fullWidth),
                QString::number(picture.fullHeight)};
            ++result.pictures;
        } else {
            item.thumb = ThumbForm::fromType(typeBoxes, entry.name);
            otherNames << entry.name;
            item.record = QStringList {
                QStringLiteral("1"), QString::number(entry.size), dateTime, QString(), QString()};
            ++result.others;
        }
        ++result.files;
        result.bytes += entry.size;
        inCallback = true;
        onItem(std::move(item));
        inCallback = false;
    }
    // The types are looked up while the user looks at the list, not while it is built.
    typeBoxes->lookUpAhead(std::move(otherNames));
}

} // namespace morvane::browser
