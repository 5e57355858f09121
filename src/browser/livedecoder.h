// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listbuilder.h"
#include "browser/thumbcacheformat.h"
#include "browser/thumbform.h"
#include "imaging/imagedecode.h"

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace morvane::browser {

class ThumbCache;

// One picture candidate of a live build: the list item it belongs to (`id`), the file as it
// was listed.
struct LiveJob
{
    std::uint64_t id = 0;
    QByteArray nativeName;
    imaging::PictureFormat format = imaging::PictureFormat::None;
    FileStamp stamp;
};

// What became of one candidate. NoMemory: memory ran out even for this decode alone; Failed:
// the decoder threw something else, alone too. Both end the build.
struct LiveBox : DrawnBox
{
    std::uint64_t id = 0;
    QByteArray nativeName; // the name it was decoded under
    bool toCache = false; // written to the thumbnail cache

    LiveBox() = default;
    LiveBox(DrawnBox drawn)
        : DrawnBox(std::move(drawn))
    {}
};

// The decoding threads of the main window's live list build: they decode the candidates of one
// build at a time, the prioritised ones first (the items on screen), then the rest in list
// order, and hand the boxes over in batches through takeBoxes(). The cache is read first, as
// the list builder does, and every picture decoded is written to it. Starting a build, or
// cancel(), drops what is queued at once; a decode already running finishes on its thread and
// its box is thrown away, so the UI thread never waits for a decode. The threads live as long
// as the object; the destructor waits for the decodes that run (at most one per thread).
//
// Decodes share a memory budget as the list builder's do: one whose bytes do not fit beside the
// running ones waits until they are done; one that ran out of memory or failed beside others is
// tried again alone (no other decode running, no gate) before the build is given up.
//
// Threads: every member function on the UI thread; `wake` is called on a decoding thread when
// boxes become ready after takeBoxes() emptied the batch (once per batch).
class LiveDecoder
{
public:
    struct Options
    {
        QByteArray folder; // native path; never empty
        int boxSize = 48; // in device pixels (the list's box times its pixel ratio)
        int jpegScale = 3;
        bool autoRotate = true; // pictures turned upright as their Exif Orientation says
        ThumbCache *cache = nullptr; // must outlive this object
        bool readCache = true;
        std::int64_t memoryBudget = std::int64_t(224) << 20;
    };

    // `decoder` empty: the platform's decoders. `threads` 0: one per core.
    LiveDecoder(ListBuilder::PictureDecoder decoder, int threads, std::function<void()> wake);
    ~LiveDecoder();
    LiveDecoder(const LiveDecoder &) = delete;
    LiveDecoder &operator=(const LiveDecoder &) = delete;

    // Starts decoding `jobs` (ids unique), dropping whatever an earlier build left.
    void start(const Options &options, std::vector<LiveJob> jobs);
    // Drops what is queued and every box not taken; the running decodes' boxes are dropped too.
    void cancel();
    // Decodes the jobs of `ids` before any other, in that order (ids not queued are skipped).
    void prioritise(const std::vector<std::uint64_t> &ids);
    // Decodes job `id` again, under `nativeName` (the item was renamed while it was decoded).
    void retry(std::uint64_t id, const QByteArray &nativeName);
    // The boxes done since the last call.
    [[nodiscard]] std::vector<LiveBox> takeBoxes();
    // Blocks until a box waits to be taken or `deadline` passes; true when one waits.
    [[nodiscard]] bool waitForBoxes(std::chrono::steady_clock::time_point deadline);
    // Runs `work` while no decode runs and none can start (the cache's prune); false, and
    // `work` not run, when a decode runs.
    bool runWhileIdle(const std::function<void()> &work);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace morvane::browser
