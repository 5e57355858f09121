// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>

namespace morvane {

// The four tool images of the main window's commands, by image index.
enum ToolImageIndex {
    RefreshImage = 0,
    SelectPicturesImage = 1,
    RenameImage = 2,
    CopyMoveImage = 3
};

// Tool image `index` for 16 x 16 buttons: the icon theme's own image when the theme has one that
// actually draws at that size (a theme may name an icon whose files the platform cannot read),
// else the image drawn by drawnToolImage. Null for an index outside 0..3. UI thread only.
[[nodiscard]] QIcon toolImage(int index);

// Tool image `index` drawn in code, `size` x `size` device pixels (the drawing is made for 16
// and scales to 32), transparent around the drawing. Null for an index outside 0..3.
[[nodiscard]] QImage drawnToolImage(int index, int size);

} // namespace morvane
