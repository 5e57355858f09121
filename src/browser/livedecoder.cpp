// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/livedecoder.h"

#include "browser/thumbcache.h"
#include "browser/thumbfit.h"
#include "platform/folderscan.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

namespace morvane::browser {

using Outcome = LiveBox::Outcome;

struct LiveDecoder::State
{
    std::mutex mutex;
    std::condition_variable changed; // work queued, memory freed, a decode done, stopping
    ListBuilder::PictureDecoder decoder;
    std::function<void()> wake;
    std::vector<std::thread> threads;

    // Guarded by `mutex`.
    std::uint64_t generation = 0; // counts builds; a box of an older one is dropped
    Options options;
    std::vector<LiveJob> jobs;
    std::unordered_map<std::uint64_t, std::size_t> indexOf; // job index by id
    std::vector<char> queued; // per job: waits to be taken
    std::size_t waiting = 0; // jobs queued
    std::vector<std::size_t> priority; // job indexes to take first, from priorityPos on
    std::size_t priorityPos = 0;
    std::size_t restPos = 0; // every job below it was taken at least once
    std::vector<std::size_t> alone; // ran out of memory beside others: to be decoded alone
    bool aloneRunning = false;
    int busy = 0; // decodes taken and not stored
    int decoding = 0; // decodes the memory gate let through
    std::int64_t charged = 0; // their bytes
    std::vector<LiveBox> boxes; // done, not taken
    bool wakeSent = false; // since the last takeBoxes()
    bool stopping = false;

    [[nodiscard]] bool canTake() const
    {
        if (stopping || aloneRunning)
            return false;
        return alone.empty() ? waiting > 0 : busy == 0;
    }
    // The first queued job: the prioritised ones, then the rest in list order, then a job
    // queued again behind restPos that a later prioritise() dropped.
    [[nodiscard]] std::size_t nextQueued()
    {
        while (priorityPos < priority.size()) {
            const std::size_t i = priority[priorityPos++];
            if (queued[i] != 0)
                return i;
        }
        while (restPos < jobs.size()) {
            const std::size_t i = restPos++;
            if (queued[i] != 0)
                return i;
        }
        return static_cast<std::size_t>(
            std::find(queued.begin(), queued.end(), 1) - queued.begin());
    }
    // The next job to decode (canTake() holds), marked taken.
    std::size_t take()
    {
        std::size_t i = 0;
        if (!alone.empty()) {
            i = alone.front();
            alone.erase(alone.begin());
            aloneRunning = true;
            return i;
        }
        i = nextQueued();
        queued[i] = 0;
        --waiting;
        return i;
    }
};

namespace {

    // The memory gate of a decode of build `generation`: lets it through when its bytes fit
    // beside the running decodes, or when none runs; refuses once the build is gone.
    bool admit(LiveDecoder::State &s, std::uint64_t generation, std::int64_t bytes, bool &held)
    {
        std::unique_lock lock(s.mutex);
        s.changed.wait(lock, [&] {
            return s.stopping || s.generation != generation || s.decoding == 0
                || s.charged + bytes <= s.options.memoryBudget;
        });
        if (s.stopping || s.generation != generation)
            return false;
        ++s.decoding;
        s.charged += bytes;
        held = true;
        return true;
    }

    // One candidate from file to box; no exception leaves. Any thread.
    LiveBox decodeJob(LiveDecoder::State &s,
        const LiveDecoder::Options &o,
        const LiveJob &job,
        std::uint64_t generation,
        bool alone,
        std::int64_t &admitted) noexcept
    {
        try {
            const QByteArray path = platform::joinNative(o.folder, job.nativeName);
            const ThumbKey key {path.toStdString(), o.boxSize, o.jpegScale, o.autoRotate};
            if (o.cache != nullptr && o.readCache) {
                if (std::optional<CachedPicture> hit = o.cache->read(key, job.stamp)) {
                    LiveBox box;
                    box.outcome = Outcome::Picture;
                    box.form = std::move(hit->form);
                    box.fullWidth = hit->fullWidth;
                    box.fullHeight = hit->fullHeight;
                    return box;
                }
            }
            // A decode run alone has no gate, as on the list builder's calling thread.
            imaging::MemoryGate gate;
            if (!alone) {
                gate = [&s, generation, &admitted](std::int64_t bytes) {
                    bool held = false;
                    const bool ok = admit(s, generation, bytes, held);
                    if (held)
                        admitted = bytes;
                    return ok;
                };
            }
            const imaging::ThumbRequest request {o.jpegScale, o.boxSize, o.autoRotate};
            LiveBox box =
                drawPictureBox(s.decoder(path, job.format, request, gate), job.format, o.boxSize);
            if (o.cache != nullptr && box.outcome == Outcome::Picture) {
                box.toCache = o.cache->write(
                    key, job.stamp, CachedPicture {box.form, box.fullWidth, box.fullHeight});
            }
            return box;
        } catch (const std::bad_alloc &) {
            LiveBox box;
            box.outcome = Outcome::NoMemory;
            return box;
        } catch (...) {
            LiveBox box;
            box.outcome = Outcome::Failed;
            return box;
        }
    }

    // Stores the box of job i of build `generation`. Caller holds the mutex; true when the UI
    // thread is to be woken.
    bool store(LiveDecoder::State &s,
        std::size_t i,
        const LiveJob &job,
        std::uint64_t generation,
        LiveBox &&box)
    {
        if (generation != s.generation)
            return false; // cancelled or another build started meanwhile
        const bool wasAlone = s.aloneRunning;
        s.aloneRunning = false;
        if ((box.outcome == Outcome::NoMemory || box.outcome == Outcome::Failed) && !wasAlone) {
            s.alone.push_back(i); // it failed beside others: tried once more alone
            return false;
        }
        box.id = job.id;
        box.nativeName = job.nativeName;
        s.boxes.push_back(std::move(box));
        if (s.wakeSent)
            return false;
        s.wakeSent = true;
        return true;
    }

    void decodeLoop(LiveDecoder::State &s) noexcept
    {
        std::unique_lock lock(s.mutex);
        for (;;) {
            s.changed.wait(lock, [&] {
                return s.stopping || s.canTake();
            });
            if (s.stopping)
                return;
            const bool alone = !s.alone.empty();
            const std::size_t i = s.take();
            const LiveJob job = s.jobs[i];
            const LiveDecoder::Options options = s.options;
            const std::uint64_t generation = s.generation;
            ++s.busy;
            lock.unlock();
            std::int64_t admitted = -1;
            LiveBox box = decodeJob(s, options, job, generation, alone, admitted);
            lock.lock();
            --s.busy;
            if (admitted >= 0) {
                --s.decoding;
                s.charged -= admitted;
            }
            const bool wake = store(s, i, job, generation, std::move(box));
            s.changed.notify_all();
            if (wake && s.wake) {
                lock.unlock();
                s.wake();
                lock.lock();
            }
        }
    }

} // namespace

LiveDecoder::LiveDecoder(
    ListBuilder::PictureDecoder decoder, int threads, std::function<void()> wake)
    : m_state(std::make_shared<State>())
{
    m_state->decoder = decoder ? std::move(decoder) : ListBuilder::defaultDecoder();
    m_state->wake = std::move(wake);
    const int n = std::max(threads > 0 ? threads : QThread::idealThreadCount(), 1);
    for (int t = 0; t < n; ++t) {
        try {
            m_state->threads.emplace_back(decodeLoop, std::ref(*m_state));
        } catch (const std::system_error &) {
            break; // the threads there are will do
        }
    }
}

LiveDecoder::~LiveDecoder()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->changed.notify_all();
    }
    for (std::thread &t : m_state->threads)
        t.join();
}

void LiveDecoder::start(const Options &options, std::vector<LiveJob> jobs)
{
    const std::lock_guard lock(m_state->mutex);
    State &s = *m_state;
    ++s.generation;
    s.options = options;
    s.jobs = std::move(jobs);
    s.indexOf.clear();
    for (std::size_t i = 0; i < s.jobs.size(); ++i)
        s.indexOf.emplace(s.jobs[i].id, i);
    s.queued.assign(s.jobs.size(), 1);
    s.waiting = s.jobs.size();
    s.priority.clear();
    s.priorityPos = 0;
    s.restPos = 0;
    s.alone.clear();
    s.aloneRunning = false;
    s.boxes.clear();
    s.wakeSent = false;
    s.changed.notify_all();
}

void LiveDecoder::cancel()
{
    start(m_state->options, {});
}

void LiveDecoder::prioritise(const std::vector<std::uint64_t> &ids)
{
    const std::lock_guard lock(m_state->mutex);
    State &s = *m_state;
    s.priority.clear();
    s.priorityPos = 0;
    for (const std::uint64_t id : ids) {
        const auto it = s.indexOf.find(id);
        if (it != s.indexOf.end() && s.queued[it->second] != 0)
            s.priority.push_back(it->second);
    }
}

void LiveDecoder::retry(std::uint64_t id, const QByteArray &nativeName)
{
    const std::lock_guard lock(m_state->mutex);
    State &s = *m_state;
    const auto it = s.indexOf.find(id);
    if (it == s.indexOf.end())
        return;
    const std::size_t i = it->second;
    s.jobs[i].nativeName = nativeName;
    if (s.queued[i] == 0) {
        s.queued[i] = 1;
        ++s.waiting;
        s.priority.push_back(i);
    }
    s.changed.notify_all();
}

bool LiveDecoder::waitForBoxes(std::chrono::steady_clock::time_point deadline)
{
    State &s = *m_state;
    std::unique_lock lock(s.mutex);
    return s.changed.wait_until(lock, deadline, [&s] {
        return !s.boxes.empty();
    });
}

std::vector<LiveBox> LiveDecoder::takeBoxes()
{
    const std::lock_guard lock(m_state->mutex);
    std::vector<LiveBox> out;
    out.swap(m_state->boxes);
    m_state->wakeSent = false;
    return out;
}

bool LiveDecoder::runWhileIdle(const std::function<void()> &work)
{
    const std::lock_guard lock(m_state->mutex);
    if (m_state->busy != 0)
        return false;
    work();
    return true;
}

} // namespace morvane::browser
