// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCursor>

namespace morvane {

// The viewer's navigation cursor: 32 × 32 monochrome, a left-pointing arrow above a
// right-pointing arrow, white with a black outline, hot spot at the top-left pixel (0, 0).
// UI thread only (cursors are GUI objects).
[[nodiscard]] QCursor navigationCursor();

} // namespace morvane
