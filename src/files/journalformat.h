// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the undo journal and of a rename run's intent record. One entry is one line ending
// in "\n", its fields separated by blanks, names percent-escaped so that any bytes a file name
// may hold survive, and a checksum last: a line cut short by a crash or a full disk, or changed by
// hand, fails its checksum and is skipped alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::files::journal {

// What was done to one item, so that undo can reverse it.
enum class Op : char {
    Move = 'M', // `from` now stands at `to` (a rename, or a move to another folder)
    Copy = 'C', // `from` was copied to `to`
    Trash = 'T', // `from` went to the trash, where it is `to` (in a trash's files/ folder)
    NewFolder = 'D', // the empty folder `to` was made
    Patch = 'P', // bytes of the file `to` were rewritten in place, as `via` tells (encodePatch)
};

// A few bytes of a file rewritten in place: at `pos`, `before` became `after` (same length).
struct Patch
{
    std::uint64_t pos = 0;
    std::string before;
    std::string after;
    friend bool operator==(const Patch &, const Patch &) = default;
};

// The patch as the text of an item's `via` field ("POS BEFOREHEX AFTERHEX"), and back; nothing
// for a damaged text or sides of different lengths.
[[nodiscard]] std::string encodePatch(const Patch &patch);
[[nodiscard]] std::optional<Patch> decodePatch(std::string_view text);

// Several patches of one file rewritten at once, in ascending order of position and not
// overlapping (positions in the file before the rewrite); a side may be longer than the other.
// The text is the patches' texts joined by blanks, so the text of one patch of equal sides reads
// as before; nothing for a damaged text, an empty side or patches out of order.
[[nodiscard]] std::string encodePatches(const std::vector<Patch> &patches);
[[nodiscard]] std::optional<std::vector<Patch>> decodePatches(std::string_view text);

// The patches that undo `patches`: sides swapped, positions moved by the growth before them.
[[nodiscard]] std::vector<Patch> reversedPatches(const std::vector<Patch> &patches);

// The facts of an entry at its new place right after the action; undo refuses an item whose
// facts have changed since.
struct Stamp
{
    std::int64_t size = 0; // bytes
    std::int64_t mtimeNs = 0; // modification time, ns since the epoch
    std::uint64_t inode = 0;
    friend bool operator==(const Stamp &, const Stamp &) = default;
};

struct Item
{
    Op op = Op::Move;
    std::string from; // native path (bytes); empty for NewFolder
    std::string to; // native path
    std::string via; // a rename run's temporary path (intent records only)
    Stamp stamp;
    friend bool operator==(const Item &, const Item &) = default;
};

struct Entry
{
    std::int64_t time = 0; // seconds since the epoch
    std::string action; // what the user did: "rename", "move", "copy", "trash", "drop", ...
    std::vector<Item> items;
    friend bool operator==(const Entry &, const Entry &) = default;
};

// The entry as one line, "\n" included.
[[nodiscard]] std::string encodeEntry(const Entry &entry);

// The entry of one line (without its "\n"); nothing for a line that is damaged in any way.
[[nodiscard]] std::optional<Entry> decodeEntry(std::string_view line);

struct Parsed
{
    std::vector<Entry> entries; // the good lines, oldest first
    std::size_t damaged = 0; // lines skipped, a last line without "\n" included
    std::size_t goodEnd = 0; // length of the text up to the end of its last complete line
};

// Whether `text` starts with an entry's mark, as every line this program writes does.
[[nodiscard]] bool startsAsEntry(std::string_view text);

// Whether `text` may be a journal's: empty, or starting with an entry's
// mark and holding at least one good line. Anything else is some other file and is never
// written to.
[[nodiscard]] bool isJournalText(std::string_view text);

// Every entry of a journal's text.
[[nodiscard]] Parsed parseJournal(std::string_view text);

} // namespace morvane::files::journal
