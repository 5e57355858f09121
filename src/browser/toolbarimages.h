// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>

#include <array>

namespace morvane {

// The four tool images of the main window's commands, by image index.
enum ToolImageIndex {
    RefreshImage = 0,
    SelectPicturesImage = 1,
    RenameImage = 2,
    CopyMoveImage = 3
};

// The four tool images for 16 x 16 buttons, by image index: the icon theme's own when the theme
// has all four in a form that actually draws at that size (a theme may name an icon whose files
// the platform cannot read), else the four drawn by drawnToolImage, so the tool bar never mixes
// the two. UI thread only.
[[nodiscard]] std::array<QIcon, 4> toolImages();

// One of toolImages(); null for an index outside 0..3.
[[nodiscard]] QIcon toolImage(int index);

// Tool image `index` drawn in code, `size` x `size` device pixels (the drawing is made for 16
// and scales to 32 and beyond), transparent around the drawing. Null for an index outside 0..3.
[[nodiscard]] QImage drawnToolImage(int index, int size);

// Tool image `index` as an icon drawn in code at 16, 24, 32, 48 and 64 device pixels, so a
// 16-pixel button at a screen scale of 1, 1.5, 2, 3 or 4 shows a drawing of its very size. Null
// for an index outside 0..3.
[[nodiscard]] QIcon drawnToolIcon(int index);

} // namespace morvane
