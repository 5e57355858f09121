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
#endif
}

} // namespace morvane::imaging
