// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the rename language. Input: one mode byte, eight bytes of sequence number,
// then the old name and the pattern separated by the first NUL. Besides the sanitizers' own checks
// it traps when a result breaks what the rename dialog relies on:
// - a pattern error that depends on the name, or differs from parsePattern's;
// - a sequence number not advanced by exactly the pattern's sequence groups;
// - a new name longer than the limit, or an error without a message;
// - a new name holding "/" or a NUL byte;
// - the whole-name keep pattern not giving back the old name byte for byte (UTF-8 entry);
// - the run over two names disagreeing with two single calls.
#include "organise/renamelang.h"
#include "platform/cp932.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

using namespace morvane::organise;

namespace {

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

std::int64_t plus(std::int64_t n, int by)
{
    return static_cast<std::int64_t>(
        static_cast<std::uint64_t>(n) + static_cast<std::uint64_t>(by));
}

void checkResult(const RenameResult &r)
{
    require(r.ok() == r.message.empty());
    require(r.ok() || r.name.empty());
    require(r.name.size() <= kMaxNewNameBytes * 3); // UTF-8 of at most kMaxNewNameBytes CP932
    require(r.name.find_first_of(std::string_view("/\0", 2)) == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 9)
        return 0;
    const std::uint8_t mode = data[0];
    std::int64_t start = 0;
    std::memcpy(&start, data + 1, sizeof start);
    if ((mode & 2) != 0) // mostly small numbers, as a user types them
        start = static_cast<std::int32_t>(start & 0xFFFF) - 100;
    const std::string_view rest(reinterpret_cast<const char *>(data + 9), size - 9);
    const std::size_t nul = rest.find('\0');
    const std::string oldName(rest.substr(0, nul));
    const std::string pattern(
        nul == std::string_view::npos ? std::string_view {} : rest.substr(nul + 1));

    if ((mode & 1) == 0) {
        // Code page 932 bytes.
        const ParsedPattern parsed = parsePattern(pattern);
        std::int64_t seq = start;
        const RenameResult r = BuildNewName(oldName, pattern, seq);
        checkResult(r);
        require(r.name.size() <= kMaxNewNameBytes);
        if (parsed.error != RenameError::None) {
            require(r.error == parsed.error && r.message == parsed.message);
            std::int64_t other = start;
            const RenameResult again = BuildNewName("x.jpg", pattern, other);
            require(again.error == parsed.error && again.message == parsed.message);
            return 0;
        }
        require(r.ok() || isFileError(r.error));
        require(seq == plus(start, parsed.pattern.sequenceGroups));
        return 0;
    }

    // Names of this platform.
    std::int64_t seq = start;
    const RenameResult r = BuildNewNameUtf8(oldName, pattern, seq);
    checkResult(r);
    std::int64_t seqNoName = start;
    const RenameResult noName = BuildNewNameUtf8("", pattern, seqNoName);
    const bool patternError = r.error != RenameError::None && !isFileError(r.error);
    require(patternError == (noName.error != RenameError::None && !isFileError(noName.error)));
    if (patternError)
        require(noName.error == r.error && noName.message == r.message);

    const morvane::platform::Cp932Text converted = morvane::platform::toCp932(pattern);
    if (converted.lossless && !patternError) {
        const ParsedPattern parsed = parsePattern(converted.bytes);
        require(parsed.error == RenameError::None);
        require(seq == plus(start, parsed.pattern.sequenceGroups));
    }

    // Keeping the whole base changes nothing, whatever bytes the name holds.
    std::int64_t keepSeq = 0;
    const RenameResult keep = BuildNewNameUtf8(oldName, "<2147483647<", keepSeq);
    if (keep.ok())
        require(keep.name == oldName);
    else
        require(keep.error == RenameError::NameTooLong || keep.error == RenameError::Unconvertible
            || (keep.error == RenameError::ForbiddenCharacter
                && oldName.find('/') != std::string::npos));

    if (!patternError) {
        const RenameRun run = buildNewNames({oldName, oldName}, pattern, start);
        require(run.patternError == RenameError::None && run.results.size() == 2);
        std::int64_t s = start;
        for (const RenameResult &one : run.results) {
            const RenameResult single = BuildNewNameUtf8(oldName, pattern, s);
            require(single.error == one.error && single.name == one.name);
        }
        require(s == run.nextSequenceNumber);
    }
    return 0;
}
