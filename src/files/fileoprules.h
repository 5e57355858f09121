// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of the file operations that need no file system: name checks, native path
// arithmetic, what to do with one item given what stands at its source and target, the memory of
// a "すべてはい" answer and the Japanese reason for a system error. Native paths are the bytes the
// file system holds, "/" separated.
#pragma once

#include <string>
#include <string_view>

namespace morvane::files {

// What is wrong with a name given to a rename (a new file or folder name, not a path).
enum class NameProblem {
    None,
    Empty,
    DotName, // "." or ".."
    Separator, // holds "/": it would address another folder
    Nul, // holds a NUL byte: the file system would cut the name there
};
[[nodiscard]] NameProblem checkNewName(std::string_view name) noexcept;

// `path` without trailing "/" (the root "/" stays "/").
[[nodiscard]] std::string_view trimTrailingSlashes(std::string_view path) noexcept;
// The last component of `path` after trimming ("" for "/" and for an empty path).
[[nodiscard]] std::string_view lastComponent(std::string_view path) noexcept;
// The folder part of `path` after trimming: "/" for "/x", "." for a bare name.
[[nodiscard]] std::string_view parentOf(std::string_view path) noexcept;
// `folder` + "/" + `name`, with one separator only after a folder that ends in "/".
[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name);
// True when `path` is `folder` itself or lies below it. Both are compared as given, so pass
// absolute paths without "." / ".." components or links (realpath) for a meaningful answer.
[[nodiscard]] bool isSameOrInside(std::string_view folder, std::string_view path) noexcept;

// Names the service gives its unfinished copies, in the target's folder: the prefix,
// kTemporaryLetters characters of kTemporaryAlphabet, the suffix. A file of such a name is never a
// user's file: it is removed before a request ends, and one left by a killed run is removed by a
// later request into its folder. Any other name, however close, is not one.
inline constexpr std::string_view kTemporaryPrefix = ".morvane-";
inline constexpr std::string_view kTemporarySuffix = ".part";
inline constexpr std::string_view kTemporaryAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr std::size_t kTemporaryLetters = 8;
[[nodiscard]] bool isTemporaryName(std::string_view name) noexcept;

// True when `path` lies directly in the "files" folder of a freedesktop trash: the home trash
// ".../Trash/files/NAME" or a volume's ".Trash-UID/files/NAME" or ".Trash/UID/files/NAME".
[[nodiscard]] bool isInTrashFiles(std::string_view path) noexcept;

// What stands at a path (lstat: a symlink is an entry of its own, never followed).
enum class EntryKind {
    Missing,
    File, // a regular file or a symlink (copied and moved as the link itself)
    Folder,
    Special, // fifo, socket, device: never copied
};

// The facts about one source/target pair that decide what happens to it.
struct ItemFacts
{
    EntryKind source = EntryKind::Missing;
    EntryKind target = EntryKind::Missing;
    bool sameEntry = false; // source and target are one entry (same device and inode)
    bool targetInsideSource = false; // the target lies inside the source folder or is it
};

enum class ItemStep {
    Proceed, // nothing in the way
    AskReplace, // a file stands at the target: ask before replacing it
    Merge, // a folder onto an existing folder: its entries go one by one
    RefuseMissing, // the source is gone
    RefuseSameEntry, // copied or moved onto itself
    RefuseIntoItself, // a folder into itself or one of its subfolders
    RefuseFolderOverFile,
    RefuseFileOverFolder,
    RefuseSpecial, // a fifo, socket or device file
};

// The step for a copy or move of one item; every refusal leaves both paths untouched.
[[nodiscard]] ItemStep decideTransfer(const ItemFacts &facts) noexcept;

// The answers to the question before replacing a file.
enum class ReplaceAnswer { Yes, YesToAll, No, Cancel };
enum class ReplaceStep { Replace, Skip, Stop };

// The consent to replace during one request: after "すべてはい" the question is not asked again.
class ReplaceConsent
{
public:
    [[nodiscard]] bool needsQuestion() const noexcept { return !m_all; }
    // The step for one file: the step of `answer`, or Replace without asking after YesToAll.
    [[nodiscard]] ReplaceStep take(ReplaceAnswer answer) noexcept;

private:
    bool m_all = false;
};

// The reason for the system error `error` (an errno value) as a Japanese sentence, UTF-8.
[[nodiscard]] std::string reasonText(int error);

} // namespace morvane::files
