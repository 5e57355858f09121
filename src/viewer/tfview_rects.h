// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the viewer layout's box rectangles and Qt's, for the viewer window's parts.
#pragma once

#include "viewer/viewlayout.h"

#include <QRect>

namespace morvane {

[[nodiscard]] inline QRect toRect(const viewer::BoxRect &r)
{
    return {r.left, r.top, r.width, r.height};
}

[[nodiscard]] inline viewer::BoxRect toBox(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace morvane
