// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rename pattern language: a new file name computed from the old one by a pattern of literal
// text and control groups ("<n<" keep, ">n>" drop, "*n*" lower case, "?n?" upper case, "/n/"
// zero-padded keep, "\n\" sequence number). All positions and counts are in code page 932 bytes,
// so a double-byte character counts 2. Pure logic, any thread, never throws.
namespace morvane::organise {

enum class RenameError {
    None,
    // Errors of the pattern: they depend on the pattern alone and end the whole run.
    EmptyPattern, // no pattern text at all (callers normally refuse it before calling)
    Grammar, // a group not closed by its own control character
    MissingCount, // a group without digits
    CountOutOfRange, // a digit run above 2147483647
    // Errors of one file: that file keeps its name and the run goes on.
    SplitCharacter, // the new name would hold half of a double-byte character
    NameTooLong, // the new name would exceed kMaxNewNameBytes
    ForbiddenCharacter, // the new name would hold "/" (another folder) or a NUL byte
    Unconvertible, // the names hold more characters outside the code page than can be carried
};

// True for the errors after which the run over the remaining files goes on.
[[nodiscard]] constexpr bool isFileError(RenameError e) noexcept
{
    return e == RenameError::SplitCharacter || e == RenameError::NameTooLong
        || e == RenameError::ForbiddenCharacter || e == RenameError::Unconvertible;
}

// Upper bound of a new name in bytes. No file system takes names near this long, so the limit
// only keeps a group such as "/2000000000/" from building a name of gigabytes.
inline constexpr std::size_t kMaxNewNameBytes = 4096;

// Outcome for one file. `name` is the new name (empty on an error); `message` is the Japanese
// text (UTF-8) to show for an error, empty otherwise.
struct RenameResult
{
    std::string name;
    RenameError error = RenameError::None;
    std::string message;

    [[nodiscard]] bool ok() const noexcept { return error == RenameError::None; }
};

// A pattern checked and split into its pieces; build it once per run with parsePattern().
struct RenamePattern
{
    enum class Kind { Literal, Keep, Drop, Lower, Upper, Pad, Sequence };
    struct Piece
    {
        Kind kind = Kind::Literal;
        std::string text; // Literal only: CP932 bytes
        std::int64_t count = 0; // every other kind: the group's count n
    };
    std::vector<Piece> base; // the interpreted pattern base, in order
    std::string extension; // the pattern's extension with its ".", CP932; may be empty
    int sequenceGroups = 0; // number of "\n\" groups, the numbers each file consumes
};

struct ParsedPattern
{
    RenamePattern pattern;
    RenameError error = RenameError::None;
    std::string message; // Japanese (UTF-8) for an error
};

// Checks and splits a CP932 pattern. The first error from the left is the one reported.
[[nodiscard]] ParsedPattern parsePattern(std::string_view patternCp932);

// The new name of one file (CP932 in and out). `SequenceNumber` is read and advanced by one per
// sequence group; a file refused with a file error still advances it by all of its groups, so the
// numbering of the other files does not depend on which files were refused. Numbers run on past
// 2147483647 instead of wrapping round to negative values.
[[nodiscard]] RenameResult applyPattern(
    const RenamePattern &pattern, std::string_view oldNameCp932, std::int64_t &SequenceNumber);

// parsePattern() and applyPattern() in one step, for one file (CP932 in and out).
[[nodiscard]] RenameResult BuildNewName(
    std::string_view oldNameCp932, std::string_view patternCp932, std::int64_t &SequenceNumber);

// The same for names and patterns of this platform (UTF-8, or any bytes a file name may hold).
// Both texts are converted to CP932 for counting; characters outside the code page and bytes that
// are not UTF-8 count as double-byte characters and come back in the new name unchanged. An old
// name that is not UTF-8 but is CP932 text is counted as that text, and its new name is UTF-8.
[[nodiscard]] RenameResult BuildNewNameUtf8(
    std::string_view oldName, std::string_view pattern, std::int64_t &SequenceNumber);

// One whole run over several files, as the batch rename does it: the pattern is checked once,
// then every name gets its result with the sequence number running on across the names in order.
struct RenameRun
{
    RenameError patternError = RenameError::None; // set: `results` is empty
    std::string patternMessage;
    std::vector<RenameResult> results; // one per name, same order
    std::int64_t nextSequenceNumber = 0; // the sequence number after the last name
};
[[nodiscard]] RenameRun buildNewNames(
    const std::vector<std::string> &oldNames, std::string_view pattern, std::int64_t startNumber);

// The start number as the rename dialog reads its text: optional sign and decimal digits that fit
// a 32-bit signed integer, nothing else (no blanks). nullopt for any other text; the caller then
// shows notIntegerMessage(text).
[[nodiscard]] std::optional<std::int32_t> parseStartNumber(std::string_view text);

// "'%s' は整数ではありません" with `text` in place of %s (UTF-8).
[[nodiscard]] std::string notIntegerMessage(std::string_view text);

// Messages of the run (UTF-8).
inline constexpr std::string_view kEmptyPatternMessage = "新しいファイル名を入力してください。";
inline constexpr std::string_view kEmptyStartMessage = "連番の開始番号を入力してください";

} // namespace morvane::organise
