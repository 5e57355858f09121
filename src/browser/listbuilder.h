// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listentry.h"
#include "imaging/imagedecode.h"
#include "platform/fileicons.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace morvane::browser {

// The box of one decoded picture candidate as the list draws it. Picture: `form` holds the box
// and the full size is the picture's; Other: not a picture (not decoded, or a side of zero
// pixels); NoMemory: memory ran out; Failed: the decoder threw something else (set by callers).
struct DrawnBox
{
    enum class Outcome { Picture, Other, NoMemory, Failed };
    Outcome outcome = Outcome::Other;
    ThumbForm form;
    int fullWidth = 0;
    int fullHeight = 0;
};

// Draws `decoded` (a picture of `format`) into a box of `boxSize` pixels. Any thread.
[[nodiscard]] DrawnBox drawPictureBox(
    const imaging::DecodeResult &decoded, imaging::PictureFormat format, int boxSize);

class ThumbCache;

// What one list build is asked to do.
struct ListBuildOptions
{
    int boxSize =
        48; // `BoxSize`: side of the square box in pixels, 1..1024 (the menu offers 32..320)
    // The device pixel ratio of the window the list is shown in (the UI thread reads it and
    // passes it here): pictures are decoded and fitted into a box of deviceBoxSize(boxSize,
    // ratio) device pixels, which the list draws in the logical box. At 1 nothing changes.
    double devicePixelRatio = 1.0;
    int jpegScale = 3; // `JpegScale`: JPEG pictures decode at 1/2^jpegScale (0..3; clamped)
    // `AutoRotate`: pictures turned upright as their Exif Orientation says
    bool autoRotate = true;
    // Threads that decode, the calling thread included: 0 = one per core, 1 = everything on the
    // calling thread (no other thread at all).
    int threads = 0;
    // Bytes that the decodes running ahead may hold at once (file bytes, image and decoder
    // memory, as the decoders estimate them from the header) together with the finished boxes
    // not yet handed over. A decode that needs more than this waits until it runs alone. The
    // default lets two 24-megapixel JPEGs decode side by side at full size (about 101 MiB each:
    // the image and the file), while a progressive one (about 170 MiB with its coefficients)
    // runs alone: on two cores the process then stays under 300 MiB.
    std::int64_t decodeMemoryBudget = std::int64_t(224) << 20;
    // The thumbnail cache (none when null; it must outlive the build, and is used from the
    // decoding threads). A picture with a valid entry is not decoded; every picture decoded is
    // written to it, and the cache is pruned to its limit after a build that wrote. With
    // `readCache` false no entry is read: every picture is decoded and its entry written anew.
    ThumbCache *cache = nullptr;
    bool readCache = true;
};

// What one list build did.
struct ListBuildResult
{
    std::int64_t files = 0; // items handed over
    std::int64_t pictures = 0; // items with kind "0"
    std::int64_t others = 0; // items with kind "1"
    std::int64_t bytes = 0; // sum of the sizes of all items handed over
    std::int64_t cacheReads = 0; // pictures whose box came from the thumbnail cache
    std::int64_t cacheWrites = 0; // pictures decoded and written to it
    // False when the build stopped before the end (memory exhausted even for a decode on its
    // own, a nested call, bad options): the items handed over so far stand, the census must not
    // be written, and `failure` holds the Japanese message for the error report.
    bool completed = true;
    QString failure;
};

// Builds the file list of one folder: every regular file (hidden ones too, no subfolders) in the
// order the file system enumerates them, each as a `ListEntry` whose box (the compact form in
// `thumb`) is a white box of boxSize x boxSize pixels (Format_RGB32) holding either the picture
// (stretched into the top-left rectangle of the fit; an icon at its own size at 0, 0) or, for any
// other file, its 32 x 32 type icon at (boxSize div 2 - 16, boxSize div 2 - 16). A file is a
// picture when its extension is one of a picture format's (imaging::pictureFormatForName, any
// letter case) and it decodes to a picture with a non-zero width and height; every other file,
// including one that cannot be opened or read, is an other file and the build goes on. Pictures
// and their sizes are upright when `autoRotate` says so.
//
// An other file's box is its type's, drawn when the list first shows it; the types are looked up
// once the build is done (see TypeBoxes), not while it runs.
//
// Threads: construct, use and destroy on the UI thread. Decoding may run ahead on threads of the
// build's own (bounded look-ahead and memory budget, so only a few finished boxes wait at a
// time); the calling thread is one of the decoding threads and takes the next queued entry
// whenever the one it is to hand over is not done. The items are handed over on the calling
// thread strictly in enumeration order, and the result is the one a build with threads = 1
// gives, byte for byte: a decode that ran out of memory beside others is done again on the
// calling thread once no other decode runs, and only when it fails there too does the build end
// for want of memory. No exception leaves a decoding thread; every build waits for its threads
// before it returns.
class ListBuilder
{
public:
    // Called once per listed file, on the calling thread, in enumeration order, with the item's
    // final image and record. This is where the list inserts the item (and repaints at once when
    // "UpDate" is checked). The callback may paint but must not call build() again: a nested call
    // is refused (completed = false). An exception thrown by the callback ends the build: queued
    // decodes are dropped, running ones are waited for, and the exception propagates unchanged.
    using ItemSink = std::function<void(ListEntry &&entry)>;

    // Decodes one picture candidate: the file at the native path, its loader, what the decode is
    // asked for (JPEG scale 0..3, box size, orientation) and the memory gate to ask before
    // allocating (see imaging::MemoryGate). Called on any thread, several at once; it may throw (an
    // exception counts as a failure for memory when it is std::bad_alloc, otherwise it ends the
    // build with a message for that file).
    using PictureDecoder = std::function<imaging::DecodeResult(const QByteArray &nativePath,
        imaging::PictureFormat format,
        const imaging::ThumbRequest &request,
        const imaging::MemoryGate &gate)>;
    // The platform's decoders (imaging::decodePictureFile).
    [[nodiscard]] static PictureDecoder defaultDecoder();

    // `decoder` empty: the platform's decoders (imaging::decodePictureFile). Tests give their
    // own to make decodes fail.
    explicit ListBuilder(PictureDecoder decoder = {});
    ~ListBuilder();
    ListBuilder(const ListBuilder &) = delete;
    ListBuilder &operator=(const ListBuilder &) = delete;

    // Builds the list of `folderNative` (native path bytes; empty means "/"). A folder that cannot
    // be read gives no items and a completed build with zero counts.
    ListBuildResult build(
        const QByteArray &folderNative, const ListBuildOptions &options, const ItemSink &onItem);

    // True while build() runs (inside the item callback).
    [[nodiscard]] bool isBuilding() const noexcept { return m_building; }

private:
    void buildItems(const QByteArray &folderNative,
        const ListBuildOptions &options,
        const ItemSink &onItem,
        ListBuildResult &result,
        bool &inCallback);

    std::shared_ptr<platform::FileIcons> m_icons; // shared with the type boxes of the lists
    PictureDecoder m_decoder;
    bool m_building = false;
};

} // namespace morvane::browser
