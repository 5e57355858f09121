// SPDX-License-Identifier: GPL-3.0-or-later
// Whether pictures decoded one after another reuse the heap's pages: counted in page faults.
#include "imaging/allocator.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <vector>

namespace {

long minorFaults()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Allocates the blocks together, writes every page of them and frees them all.
void oneRound(const std::vector<std::size_t> &blocks)
{
    std::vector<void *> held;
    for (const std::size_t size : blocks) {
        void *p = std::malloc(size);
        ASSERT_NE(p, nullptr);
        std::memset(p, 1, size);
        asm volatile("" : : "r"(p) : "memory"); // the writes must happen
        held.push_back(p);
    }
    for (void *p : held)
        std::free(p);
}

struct RoundCase
{
    const char *name;
    std::vector<std::size_t> blocks; // allocated together in each round
};

TEST(Allocator, RoundsAfterTheFirstReuseThePages)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator holds freed blocks back and ignores mallopt";
#endif
    constexpr std::size_t MiB = std::size_t(1) << 20;
    const RoundCase cases[] = {
        {"a 9 MiB file and its 12 MiB image on each of two threads",
            {9 * MiB, 12 * MiB, 9 * MiB, 12 * MiB}},
        {"four 12 MiB images", {12 * MiB, 12 * MiB, 12 * MiB, 12 * MiB}},
    };
    morvane::imaging::useOneAllocatorArena();
    for (const RoundCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t bytes = 0;
        for (const std::size_t size : c.blocks)
            bytes += size;
        for (int warmUp = 0; warmUp < 2; ++warmUp)
            oneRound(c.blocks);
        const long before = minorFaults();
        for (int round = 0; round < 3; ++round)
            oneRound(c.blocks);
        // Pages given back and taken again fault once each per round: 3 x bytes / 4096.
        EXPECT_LT(minorFaults() - before, static_cast<long>(bytes / 4096 / 8));
    }
}

} // namespace
