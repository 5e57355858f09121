// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/viewlayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvane::viewer {
namespace {

    constexpr std::int64_t kBonusSquare = 640;
    constexpr std::int64_t kScrollStep = 20;
    constexpr std::int64_t kScrollMargin = 10;

    std::int32_t saturate(std::int64_t v) noexcept
    {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    }

    std::int64_t nonNegative(std::int32_t v) noexcept
    {
        return v < 0 ? 0 : v;
    }

    // Centred offset in one direction when the client is larger, else the client's edge.
    std::int64_t centred(std::int64_t client, std::int64_t box) noexcept
    {
        return client > box ? (client - box) / 2 : 0;
    }

    // One direction of a drag (see dragMove).
    std::int64_t dragAxis(std::int64_t pos,
        std::int64_t boxSize,
        std::int64_t client,
        std::int64_t pointer,
        std::int64_t anchor) noexcept
    {
        if (client >= boxSize)
            return pos;
        if (pointer < anchor) {
            if (client - boxSize - kScrollMargin < pos)
                return pos + (pointer - anchor);
        } else if (pos < kScrollMargin) {
            return pos + (pointer - anchor);
        }
        return pos;
    }

} // namespace

std::optional<DisplayMode> displayModeFromTag(std::int32_t tag) noexcept
{
    if (tag < 0 || tag > 3)
        return std::nullopt;
    return static_cast<DisplayMode>(tag);
}

PictureBox LayoutPicture(std::optional<DisplayMode> mode,
    std::int32_t PicWidth,
    std::int32_t PicHeight,
    std::int32_t CW,
    std::int32_t CH,
    const PictureBox &previous)
{
    const std::int64_t w = nonNegative(PicWidth);
    const std::int64_t h = nonNegative(PicHeight);
    const std::int64_t cw = nonNegative(CW);
    const std::int64_t ch = nonNegative(CH);
    PictureBox box = previous;
    auto set = [&box](bool center, bool stretch, bool autoSize, std::int64_t bw, std::int64_t bh) {
        box.center = center;
        box.stretch = stretch;
        box.autoSize = autoSize;
        box.bounds.width = saturate(bw);
        box.bounds.height = saturate(bh);
    };
    const bool bonusEnlarges = h < kBonusSquare && w < kBonusSquare;
    if (mode == DisplayMode::AsIs) {
        set(false, false, true, w, h);
    } else if (mode == DisplayMode::Fit || (mode == DisplayMode::Bonus && bonusEnlarges)) {
        set(true,
            true,
            false,
            mode == DisplayMode::Fit ? cw : kBonusSquare,
            mode == DisplayMode::Fit ? ch : kBonusSquare);
    } else if (mode == DisplayMode::ShrinkOnly || mode == DisplayMode::Bonus) {
        set(true, false, false, cw < w ? cw : w, ch < h ? ch : h);
    }
    box.bounds.left = saturate(centred(cw, box.bounds.width));
    box.bounds.top = saturate(centred(ch, box.bounds.height));
    return box;
}

std::int32_t logicalSide(std::int32_t side, double ratio) noexcept
{
    if (side <= 0 || !std::isfinite(ratio) || ratio <= 0.0 || ratio == 1.0)
        return side;
    const double logical = std::round(static_cast<double>(side) / ratio);
    return static_cast<std::int32_t>(std::clamp(logical, 1.0, 2147483647.0));
}

BoxRect drawingRect(
    std::int32_t w, std::int32_t h, std::int32_t cw, std::int32_t ch, bool stretch, bool center)
{
    const std::int64_t pw = nonNegative(w);
    const std::int64_t ph = nonNegative(h);
    const std::int64_t bw = nonNegative(cw);
    const std::int64_t bh = nonNegative(ch);
    std::int64_t dw = pw;
    std::int64_t dh = ph;
    if (stretch || pw > bw || ph > bh) {
        if (pw > 0 && ph > 0) {
            // The proportion as an exact fraction: the truncated results are those of the real
            // quotient, free of the rounding a floating-point aspect would bring at exact
            // multiples (320 x 240 into 632 wide must give 474, not 473).
            if (pw > ph) {
                dw = bw;
                dh = bw * ph / pw;
                if (dh > bh) {
                    dh = bh;
                    dw = bh * pw / ph;
                }
            } else {
                dh = bh;
                dw = bh * pw / ph;
                if (dw > bw) {
                    dw = bw;
                    dh = bw * ph / pw;
                }
            }
        } else {
            dw = bw;
            dh = bh;
        }
    }
    BoxRect r;
    r.width = saturate(dw);
    r.height = saturate(dh);
    if (center) {
        r.left = saturate((bw - dw) / 2);
        r.top = saturate((bh - dh) / 2);
    }
    return r;
}

std::string_view fileNamePart(std::string_view path) noexcept
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool fitsClient(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept
{
    return CW >= box.width && CH >= box.height;
}

InfoTexts infoTexts(const PictureRecord &record,
    std::size_t listCount,
    std::int32_t PictureIndex,
    std::int32_t CW,
    std::int32_t CH,
    std::int32_t boxWidth,
    std::int32_t boxHeight)
{
    InfoTexts t;
    t.caption = std::to_string(pictureCount(listCount));
    t.caption += " / ";
    t.caption += std::to_string(picturePosition(PictureIndex));
    t.caption += fitsClient(BoxRect {0, 0, boxWidth, boxHeight}, CW, CH) ? "   " : " * ";
    t.caption += fileNamePart(record.path);

    t.label1.append(record.width).append("x").append(record.height).append(" Pixel");
    t.label2.append(record.size).append(" Byte");
    t.label3 = std::string(record.dateTime);
    t.label4 = std::to_string(CW) + "x" + std::to_string(CH) + " Pixel";
    return t;
}

BoxRect ScrollForward(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept
{
    if (fitsClient(box, CW, CH))
        return box;
    BoxRect r = box;
    if (std::int64_t {CH} - box.height - kScrollMargin < box.top)
        r.top = saturate(std::int64_t {box.top} - kScrollStep);
    else if (std::int64_t {CW} - box.width - kScrollMargin < box.left)
        r.left = saturate(std::int64_t {box.left} - kScrollStep);
    return r;
}

BoxRect ScrollBack(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept
{
    if (fitsClient(box, CW, CH))
        return box;
    BoxRect r = box;
    if (box.top < kScrollMargin)
        r.top = saturate(std::int64_t {box.top} + kScrollStep);
    else if (box.left < kScrollMargin)
        r.left = saturate(std::int64_t {box.left} + kScrollStep);
    return r;
}

BoxRect dragMove(const BoxRect &box,
    std::int32_t CW,
    std::int32_t CH,
    std::int32_t X,
    std::int32_t Y,
    std::int32_t DragAnchorX,
    std::int32_t DragAnchorY) noexcept
{
    BoxRect r = box;
    r.left = saturate(dragAxis(box.left, box.width, CW, X, DragAnchorX));
    r.top = saturate(dragAxis(box.top, box.height, CH, Y, DragAnchorY));
    return r;
}

} // namespace morvane::viewer
