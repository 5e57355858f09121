// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace morvane::imaging {

// Blocks smaller than this come from the heap rather than from a mapping of their own.
inline constexpr int kHeapBlockLimit = 32 << 20;
// Free bytes that the heap keeps at its top before it gives them back to the system.
inline constexpr int kHeapKeptFree = 64 << 20;

// Makes every thread of the process allocate from one malloc arena. Left alone, glibc gives each
// thread that allocates an arena of its own, which reserves 64 MiB of address space and keeps
// what that thread freed: the list build's decoding threads would then hold memory and address
// space that a build on one thread does not, and under a memory limit the number of threads
// would decide which pictures decode. It also fixes when the heap gives memory back
// (kHeapBlockLimit, kHeapKeptFree), so that pictures decoded one after another reuse the same
// pages instead of faulting in new ones. Call first thing in main(), before any thread starts;
// without glibc it does nothing.
void useOneAllocatorArena();

// A Format_RGB32 image of `width` x `height` for a decoder to write. From kHeapBlockLimit bytes up
// it has memory of its own, aligned to 2 MiB and offered to the kernel for 2 MiB pages
// (transparent huge pages on request): such an image is a fresh mapping each time, and faulting it
// in 4 KiB at a time cost a full decode of a 24 MP photo about a quarter of its processor time.
// Where the system keeps to 4 KiB pages it works as any image. Smaller images are ordinary ones.
// A null image for an empty size or when memory runs out. Any thread.
[[nodiscard]] QImage imageForDecode(int width, int height);

} // namespace morvane::imaging
