// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the lines of the undo journal. Input: an entry built from the first bytes
// (names of any bytes), a position and a byte for damaging its line, then a line body that gets
// its checksum appended here (the fuzzer could not find one), which is also read as a whole
// journal. Besides the sanitizers' own checks it traps when:
// - an entry's line is not one line ending in "\n", or does not read back as the same entry;
// - the line with one byte changed or cut short reads as another entry;
// - a line that reads does not read the same once written again;
// - the journal's good entries, damaged lines and good end disagree with its lines.
#include "files/journalformat.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

using namespace morvane::files::journal;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// The checksum the line format ends in: FNV-1a of the line before its last blank, as 16
// lower-case hexadecimal digits.
std::string checksumText(std::string_view body)
{
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : body) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4)
        out[static_cast<std::size_t>(i)] = "0123456789abcdef"[h & 15];
    return out;
}

// Writing what was read gives one line that reads back the same.
void checkWritten(const Entry &entry)
{
    const std::string line = encodeEntry(entry);
    check(!line.empty() && line.find('\n') == line.size() - 1);
    const std::optional<Entry> again =
        decodeEntry(std::string_view(line).substr(0, line.size() - 1));
    check(again.has_value() && *again == entry);
}

Entry makeEntry(FuzzedDataProvider &in)
{
    static constexpr Op kOps[] = {Op::Move, Op::Copy, Op::Trash, Op::NewFolder};
    Entry e;
    e.time = in.ConsumeIntegral<std::int64_t>();
    e.action = in.ConsumeRandomLengthString(16);
    e.items.resize(in.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (Item &item : e.items) {
        item.op = in.PickValueInArray(kOps);
        item.from = in.ConsumeRandomLengthString(64);
        item.to = in.ConsumeRandomLengthString(64);
        item.via = in.ConsumeRandomLengthString(16);
        item.stamp.size = in.ConsumeIntegral<std::int64_t>();
        item.stamp.mtimeNs = in.ConsumeIntegral<std::int64_t>();
        item.stamp.inode = in.ConsumeIntegral<std::uint64_t>();
    }
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const Entry entry = makeEntry(in);
    checkWritten(entry);

    // One byte changed, or the line cut short: not read, or read as the same entry.
    const std::string written = encodeEntry(entry);
    const std::string line = written.substr(0, written.size() - 1);
    std::string changed = line;
    const std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, line.size() - 1);
    changed[at] = static_cast<char>(changed[at] ^ in.ConsumeIntegralInRange<int>(1, 255));
    const std::optional<Entry> damaged = decodeEntry(changed);
    check(!damaged || *damaged == entry);
    const std::optional<Entry> cut = decodeEntry(std::string_view(line).substr(0, at));
    check(!cut || *cut == entry);

    // A journal of the written line and its damaged copy: two lines, the entry read from each
    // that reads.
    const Parsed two = parseJournal(written + changed + '\n');
    if (changed.find('\n') == std::string::npos) {
        check(two.entries.size() + two.damaged == 2 && !two.entries.empty()
            && two.goodEnd == written.size() + changed.size() + 1);
        for (const Entry &e : two.entries)
            check(e == entry);
    }

    // Any body with its right checksum.
    const std::string body = in.ConsumeRemainingBytesAsString();
    if (const std::optional<Entry> read = decodeEntry(body + ' ' + checksumText(body)))
        checkWritten(*read);

    // The body as a journal: every "\n"-ended line counts once, a torn last line as damaged.
    const Parsed parsed = parseJournal(body);
    std::size_t lines = 0;
    std::size_t lastEnd = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n') {
            ++lines;
            lastEnd = i + 1;
        }
    }
    const std::size_t torn = lastEnd < body.size() ? 1 : 0;
    check(parsed.entries.size() + parsed.damaged == lines + torn && parsed.goodEnd == lastEnd);
    for (const Entry &e : parsed.entries)
        checkWritten(e);
    return 0;
}
