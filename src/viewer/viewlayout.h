// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewer/viewindex.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The viewer's arithmetic as functions of plain numbers and strings: where the picture box goes in
// each display mode, where the picture is drawn inside its box, the caption and label texts, and
// how scrolling and dragging move the box. All sizes and positions are in logical pixels of the
// window's client area. Pure logic, any thread, never throws; intermediate values are 64-bit and
// results saturate at the 32-bit range, so no input overflows.
namespace morvane::viewer {

// The Tag values of the display-mode items.
enum class DisplayMode : std::int32_t {
    AsIs = 0, // "そのまま": 1:1
    Fit = 1, // "拡大縮小": enlarged or shrunk to the client area
    ShrinkOnly = 2, // "縮小のみ": 1:1, larger pictures shrunk to fit
    Bonus = 3, // "おまけ": pictures under 640 in both directions enlarged into a 640 square
};

// The mode of a Tag; nullopt for any other value.
[[nodiscard]] std::optional<DisplayMode> displayModeFromTag(std::int32_t tag) noexcept;

struct BoxRect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The picture box's switches and bounds as the layout leaves them.
struct PictureBox
{
    bool center = true;
    bool stretch = false;
    bool autoSize = false; // on: the box takes the natural size of the picture it holds
    BoxRect bounds; // BoxLeft, BoxTop, BoxWidth, BoxHeight
};

// Lays the current picture (`PicWidth` x `PicHeight`, its recorded size) out in a client area of
// `CW` x `CH`. With no display mode checked the switches and the box size of `previous` are kept
// and only the position is computed afresh. Negative sizes count as 0.
[[nodiscard]] PictureBox LayoutPicture(std::optional<DisplayMode> mode,
    std::int32_t PicWidth,
    std::int32_t PicHeight,
    std::int32_t CW,
    std::int32_t CH,
    const PictureBox &previous = {});

// Where a picture of natural size `w` x `h` is drawn inside a box of `cw` x `ch` (proportional
// always on): scaled to the largest size that keeps its proportions and fits when `stretch` is
// on or the picture is larger than the box, else at its natural size; moved to the middle when
// `center` is on. Relative to the box's top-left corner. A picture with a zero side fills the box.
[[nodiscard]] BoxRect drawingRect(
    std::int32_t w, std::int32_t h, std::int32_t cw, std::int32_t ch, bool stretch, bool center);

// A picture's side of `side` pixels in logical pixels on a screen of `ratio` device pixels per
// logical pixel, so that the 1:1 modes show one picture pixel per device pixel: divided by the
// ratio and rounded, at least 1 for a positive side. A ratio that is not a positive finite number
// counts as 1 (the side unchanged).
[[nodiscard]] std::int32_t logicalSide(std::int32_t side, double ratio) noexcept;

// The file name part of a record's full path: everything after the last "/".
[[nodiscard]] std::string_view fileNamePart(std::string_view path) noexcept;

// The window caption and the four label texts (UTF-8).
struct InfoTexts
{
    std::string caption; // count " / " position, "   " or " * " (scrollable), file name
    std::string label1; // width "x" height " Pixel"
    std::string label2; // size " Byte"
    std::string label3; // date-time text
    std::string label4; // client width "x" client height " Pixel"
};

// Texts for the picture of `record` at `PictureIndex` in a list of `listCount` strings. `boxWidth`
// and `boxHeight` are the box's actual size at this moment, which decides the scroll mark.
[[nodiscard]] InfoTexts infoTexts(const PictureRecord &record,
    std::size_t listCount,
    std::int32_t PictureIndex,
    std::int32_t CW,
    std::int32_t CH,
    std::int32_t boxWidth,
    std::int32_t boxHeight);

// True when the box lies within the client area in both directions: nothing to scroll.
[[nodiscard]] bool fitsClient(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept;

// Moves a box that exceeds the client area by 20 pixels towards its lower part, and once its
// bottom edge is 10 to 29 pixels above the client's bottom, towards its right part.
[[nodiscard]] BoxRect ScrollForward(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept;

// The reverse: towards the box's upper part until its top edge is at least 10 pixels below the
// client's top, then towards its left part.
[[nodiscard]] BoxRect ScrollBack(const BoxRect &box, std::int32_t CW, std::int32_t CH) noexcept;

// One pointer move of a drag with the left button held: the box follows the pointer's offset
// from the anchor (X - DragAnchorX, Y - DragAnchorY) in each direction in which it exceeds the
// client area, as long as the edge that would come further in is not already past the line 10
// pixels inside the client area. The limits are tested before the move, so one move may carry an
// edge past them. X, Y and the anchors are in the coordinates of the control pressed.
[[nodiscard]] BoxRect dragMove(const BoxRect &box,
    std::int32_t CW,
    std::int32_t CH,
    std::int32_t X,
    std::int32_t Y,
    std::int32_t DragAnchorX,
    std::int32_t DragAnchorY) noexcept;

} // namespace morvane::viewer
