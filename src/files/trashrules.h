// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the freedesktop trash that need no file system: the text of an info file with its
// percent-encoded path, the name an item gets in a trash, and which trash folders of a volume may
// be used. Names and paths are the bytes the file system holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::files {

// An item "NAME" in a trash is files/NAME, described by info/NAME.trashinfo.
inline constexpr std::string_view kTrashInfoSuffix = ".trashinfo";

// Names tried for one item in one trash before that trash is given up (each taken name, or a name
// the file system finds too long, costs one try).
inline constexpr int kTrashNameTries = 100;

// `path` with every byte except the unreserved URI characters (letters, digits, "-_.!~*'()") and
// "/" written as "%XX" (upper-case hex), so that any name survives the info file whatever its
// bytes.
[[nodiscard]] std::string encodeTrashPath(std::string_view path);

// A local civil time, as the deletion date is written.
struct CivilTime
{
    int year = 0;
    int month = 0; // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The whole info file for the item that was at `path` (absolute for the home trash, relative to
// the volume's top folder for a volume's trash; encoded here).
[[nodiscard]] std::string trashInfoText(std::string_view path, const CivilTime &deleted);

// The value for the info file's Path= of `path` (absolute, no trailing "/") trashed into a trash
// at the top of `topdir`: relative to `topdir` when it lies below it, otherwise `path` itself.
// An empty `topdir` (the home trash) always gives `path`.
[[nodiscard]] std::string trashInfoPath(std::string_view path, std::string_view topdir);

// The name for `name` on try `attempt` (0 first): the name itself, then "stem.2.ext", "stem.3.ext"
// and so on. The result is at most `maxBytes` long (the longest name the info folder takes less
// the ".trashinfo" suffix): a longer stem is cut, never inside a UTF-8 sequence, and a long
// extension is dropped. Never empty while `maxBytes` >= 8.
[[nodiscard]] std::string trashEntryName(std::string_view name, int attempt, std::size_t maxBytes);

// What lstat tells about one folder a trash uses.
struct TrashFolderFacts
{
    bool exists = false;
    bool isFolder = false; // a directory, the link itself not followed
    bool isLink = false;
    bool sticky = false;
    unsigned owner = 0;
};

enum class TrashFolderState {
    Usable,
    Missing, // to be made (mode 0700)
    Unsafe, // a file, a link, or a folder of another user: never used
};

// A user's trash folder (".Trash-UID", ".Trash/UID", the home trash, and files/ and info/ in
// each): usable when it is a real folder owned by `uid`.
[[nodiscard]] TrashFolderState checkUserTrashFolder(
    const TrashFolderFacts &f, unsigned uid) noexcept;

// The trash folders to try, in order, for an item on the volume whose top folder is `topdir`:
// "TOPDIR/.Trash/UID" when "TOPDIR/.Trash" (described by `shared`) is a real folder with the
// sticky bit, then "TOPDIR/.Trash-UID".
[[nodiscard]] std::vector<std::string> topdirTrashFolders(
    std::string_view topdir, unsigned uid, const TrashFolderFacts &shared);

} // namespace morvane::files
