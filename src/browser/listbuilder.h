// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/listentry.h"
#include "platform/fileicons.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QThreadPool;

namespace morvane::browser {

// What one list build is asked to do.
struct ListBuildOptions
{
    int boxSize =
        48; // `BoxSize`: side of the square box in pixels, 1..1024 (the menu offers 32..320)
    int jpegScale = 3; // `JpegScale`: JPEG pictures decode at 1/2^jpegScale (0..3; clamped)
    // Decoding threads: 0 = one per core, 1 = everything on the calling thread (no pool at all).
    int threads = 0;
};

// What one list build did.
struct ListBuildResult
{
    std::int64_t files = 0; // items handed over
    std::int64_t pictures = 0; // items with kind "0"
    std::int64_t others = 0; // items with kind "1"
    std::int64_t bytes = 0; // sum of the sizes of all items handed over
    // False when the build stopped before the end (memory exhausted, a nested call, bad
    // options): the items handed over so far stand, the census must not be written, and
    // `failure` holds the Japanese message for the error report.
    bool completed = true;
    QString failure;
};

// Builds the file list of one folder: every regular file (hidden ones too, no subfolders) in the
// order the file system enumerates them, each as a `ListEntry` whose image is a white box of
// boxSize x boxSize pixels (Format_RGB32) holding either the picture (stretched into the top-left
// rectangle of the fit; an icon at its own size at 0, 0) or, for any other file, its 32 x 32 type
// icon at (boxSize div 2 - 16, boxSize div 2 - 16). A file is a picture when its extension is
// bmp, ico, jpg or jpeg (any letter case) and it decodes to a picture with a non-zero width and
// height; every other file, including one that cannot be opened or read, is an other file and
// the build goes on.
//
// Threads: construct, use and destroy on the UI thread. Decoding may run ahead on a private pool
// (bounded look-ahead, so only a few finished boxes wait at a time), but the items are handed
// over on the calling thread strictly in enumeration order, and the result is byte for byte the
// one a build with threads = 1 gives.
class ListBuilder
{
public:
    // Called once per listed file, on the calling thread, in enumeration order, with the item's
    // final image and record. This is where the list inserts the item (and repaints at once when
    // "UpDate" is checked). The callback may paint but must not call build() again: a nested call
    // is refused (completed = false). An exception thrown by the callback ends the build: queued
    // decodes are dropped, running ones are waited for, and the exception propagates unchanged.
    using ItemSink = std::function<void(ListEntry &&entry)>;

    ListBuilder();
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
    [[nodiscard]] QThreadPool *pool(int threads);

    platform::FileIcons m_icons;
    std::unique_ptr<QThreadPool> m_pool;
    bool m_building = false;
};

} // namespace morvane::browser
