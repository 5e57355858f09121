// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace morvane::browser {

// `FolderPath` for the tree's selected node, from `reportedPath` (the node's file-system path,
// "/" separated, maybe empty) and the node's `displayText`. The path is kept as reported unless it
// has a "/", its last component differs from the display text, it is longer than 3 characters and
// it is not a path on the system drive (every absolute path is: the root "/" stands for the system
// drive's root); then the display text is appended after a "/". Both texts UTF-8.
[[nodiscard]] std::string deriveFolderPath(
    const std::string &reportedPath, const std::string &displayText);

// The full path of a listed file: `folderPath` + "/" + `name`; a folder path that already ends in
// "/" (the root) takes no second separator.
[[nodiscard]] std::string filePath(const std::string &folderPath, const std::string &name);

} // namespace morvane::browser
