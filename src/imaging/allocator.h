// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace morvane::imaging {

// Makes every thread of the process allocate from one malloc arena. Left alone, glibc gives each
// thread that allocates an arena of its own, which reserves 64 MiB of address space and keeps
// what that thread freed: the list build's decoding threads would then hold memory and address
// space that a build on one thread does not, and under a memory limit the number of threads
// would decide which pictures decode. Call first thing in main(), before any thread starts;
// without glibc it does nothing.
void useOneAllocatorArena();

} // namespace morvane::imaging
