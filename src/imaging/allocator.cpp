// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/allocator.h"

#include <cstdlib> // defines __GLIBC__ with glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace morvane::imaging {

void useOneAllocatorArena()
{
#if defined(__GLIBC__)
    // A failure leaves glibc's default in place, which works, only with more memory.
    (void)mallopt(M_ARENA_MAX, 1);
    // Fixed thresholds at the top of glibc's own sliding ones: blocks below 32 MiB come from the
    // heap, and the heap keeps up to 64 MiB free at its top. With the sliding thresholds, two
    // threads each freeing a file and its image (20 MiB or so) left more free at the top than
    // glibc keeps, so the heap was given back and taken again for every picture, and every page
    // of it faulted in anew: a list build on two threads was no faster than on one.
    (void)mallopt(M_MMAP_THRESHOLD, kHeapBlockLimit);
    (void)mallopt(M_TRIM_THRESHOLD, kHeapKeptFree);
#endif
}

} // namespace morvane::imaging
