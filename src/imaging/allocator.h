// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

} // namespace morvane::imaging
