// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::tools {

// Splits a tool's command text into words the way a POSIX shell quotes, without expanding
// anything ("$", "*", "~", ";" and the like are ordinary characters):
// - blanks (space, tab, line break) outside quotes separate words;
// - '...' keeps everything up to the next "'" literally;
// - "..." keeps everything up to the next unescaped '"'; inside it a backslash escapes only
//   '"', '\', '$' and '`', and stays a backslash before any other character;
// - outside quotes a backslash makes the next byte literal (a backslash at the very end stays);
// - quoted and unquoted pieces that touch form one word, and "" or '' alone is an empty word.
// Works on UTF-8 bytes, which keep multi-byte characters whole: none of their bytes is a blank,
// quote or backslash. A text of blanks gives no words; a quote left open gives nullopt.
[[nodiscard]] std::optional<std::vector<std::string>> splitCommand(std::string_view text);

// The text of one word that splitCommand() reads back as exactly `word`: the word itself when it
// holds no blank, quote or backslash (and is not empty), otherwise the word in single quotes
// with each "'" written as '\''.
[[nodiscard]] std::string quoteWord(std::string_view word);

// The program and arguments of a launch: the words of `command` with `filePath` appended as one
// more word, whatever it holds. nullopt when the command has no words (nothing to start) or a
// quote left open.
[[nodiscard]] std::optional<std::vector<std::string>> toolArguments(
    std::string_view command, std::string_view filePath);

} // namespace morvane::tools
