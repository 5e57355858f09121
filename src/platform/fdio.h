// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvane::platform {

// Writes the whole of `data` to `fd`, again after a signal; false on an error, with errno set
// (ENOSPC when the file system takes no more bytes).
[[nodiscard]] bool writeAll(int fd, std::string_view data);

// Reads `size` bytes at `offset` of `fd` into `out`, again after a signal; false on an error or
// when the file ends first (it shrank under us).
[[nodiscard]] bool readAllAt(int fd, void *out, std::size_t size, std::int64_t offset);

} // namespace morvane::platform
