// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of a file name after its caption was edited in place. A caption is the name as text;
// for a name that is not UTF-8 the text is a reading of the bytes (CP932, or U+FFFD for bytes that
// are no character), and encoding the edited text as UTF-8 would change bytes the user never
// touched. Pure logic over UTF-8 and name bytes, any thread.
#pragma once

#include <string>
#include <string_view>

namespace morvane::browser {

struct NameEdit
{
    std::string bytes; // the new name
    // False when `bytes` also changes what the user did not edit (the edit reached a byte that is
    // no character, or the name's own encoding cannot hold what was typed): the visible text as
    // UTF-8. Ask before writing it.
    bool exact = true;
};

// The new name for the file `oldName` (bytes) shown as `oldCaption` and edited to `typed` (both
// UTF-8). A UTF-8 name takes the typed text. A CP932 name whose caption converts back to the same
// bytes is written in CP932 when the typed text fits it. Any other name keeps the bytes of the
// unchanged start and end of the caption and takes the changed middle as UTF-8.
[[nodiscard]] NameEdit editedName(
    std::string_view oldName, std::string_view oldCaption, std::string_view typed);

} // namespace morvane::browser
