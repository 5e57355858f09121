// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the TGA decoder: the header check, then the decode into a buffer of
// exactly the picture's pixels (the sanitizers catch a write past it).
#include "imaging/targa.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace morvane::imaging;
    const std::span<const std::uint8_t> file(data, size);
    // A small limit keeps each run fast; the checks are the same at any limit.
    const TargaHeaderResult header = readTargaHeader(file, std::int64_t(1) << 20);
    if (header.status != TargaStatus::Decoded)
        return 0;
    if (header.info.width < 1 || header.info.height < 1)
        __builtin_trap();
    std::vector<std::uint32_t> out(std::size_t(header.info.width) * header.info.height);
    (void)decodeTarga(file, header.info, out.data(), header.info.width);
    return 0;
}
