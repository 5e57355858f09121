// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder translation unit; replaced when this part is built.
namespace morvane {} // namespace morvane
