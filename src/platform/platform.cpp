// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder translation unit until the platform stand-ins land; keeps the library non-empty.
namespace morvane::platform {
} // namespace morvane::platform
