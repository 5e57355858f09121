// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the trash rules that need no file system. Besides the sanitizers' own
// checks it traps when:
// - an encoded path holds other than unreserved characters, "/" and upper-case "%XX", or does not
//   decode to the same bytes;
// - an info file is not the three lines "[Trash Info]", "Path=..." and "DeletionDate=...", or
//   does not read back the same path and (for a real date) the same date;
// - an info path relative to the top folder does not lead back to the path;
// - an item name is empty, longer than the limit, not the name's own start with the number and
//   maybe its extension, or cuts a UTF-8 name inside a character;
// - a trash folder of a link, a file or another user's folder counts as usable.
#include "files/fileoprules.h"
#include "files/trashrules.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

using namespace morvane::platform;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not written
}

// The bytes of an encoded path; traps on anything the encoder may not write.
std::string decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            check((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                || std::string_view("-_.!~*'()/").find(text[i]) != std::string_view::npos);
            out += text[i];
            continue;
        }
        check(i + 2 < text.size());
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        check(hi >= 0 && lo >= 0);
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1
            : (b >> 5) == 6            ? 2
            : (b >> 4) == 14           ? 3
            : (b >> 3) == 30           ? 4
                                       : 0;
        if (n == 0 || s.size() - i < n)
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n;
    }
    return true;
}

void checkInfoText(std::string_view path, const CivilTime &t)
{
    const std::string text = trashInfoText(path, t);
    constexpr std::string_view kHead = "[Trash Info]\nPath=";
    constexpr std::string_view kDate = "\nDeletionDate=";
    check(text.starts_with(kHead) && text.ends_with('\n'));
    const std::size_t dateAt = text.find(kDate, kHead.size());
    check(dateAt != std::string::npos);
    check(decoded(std::string_view(text).substr(kHead.size(), dateAt - kHead.size())) == path);
    const std::string date = text.substr(dateAt + kDate.size());
    check(date.find('\n') == date.size() - 1);
    const bool real = t.year >= 0 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1
        && t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59
        && t.second >= 0 && t.second <= 60;
    if (!real)
        return;
    CivilTime back;
    char end = 0;
    check(date.size() == 20
        && std::sscanf(date.c_str(),
               "%4d-%2d-%2dT%2d:%2d:%2d%c",
               &back.year,
               &back.month,
               &back.day,
               &back.hour,
               &back.minute,
               &back.second,
               &end)
            == 7
        && end == '\n');
    check(back.year == t.year && back.month == t.month && back.day == t.day && back.hour == t.hour
        && back.minute == t.minute && back.second == t.second);
}

void checkInfoPath(std::string_view path, std::string_view topdir)
{
    const std::string value = trashInfoPath(path, topdir);
    if (topdir.empty())
        check(value == path);
    // The path is absolute, without a trailing "/" or an empty component.
    if (value == path || !path.starts_with('/') || path.ends_with('/')
        || path.find("//") != std::string_view::npos)
        return;
    // Relative to the top folder: not absolute, and the top folder joined with it is the path.
    check(!value.empty() && value.front() != '/');
    check(joinPath(trimTrailingSlashes(topdir), value) == path);
}

void checkEntryName(std::string_view name, int attempt, std::size_t maxBytes)
{
    const std::string out = trashEntryName(name, attempt, maxBytes);
    check(!out.empty() && out.size() <= maxBytes);
    if (attempt == 0 && name.size() <= maxBytes)
        check(out == name);
    const std::string number = attempt > 0 ? "." + std::to_string(attempt + 1) : std::string();
    // The start of the name, the number, and the name's extension or nothing.
    const std::size_t dot = name.rfind('.');
    bool shaped = false;
    for (const std::string_view ext : {std::string_view(),
             dot == std::string_view::npos ? std::string_view() : name.substr(dot)}) {
        const std::string tail = number + std::string(ext);
        if (out.size() > tail.size() && out.ends_with(tail)
            && name.starts_with(std::string_view(out).substr(0, out.size() - tail.size())))
            shaped = true;
    }
    check(shaped);
    if (isValidUtf8(name))
        check(isValidUtf8(out));
}

TrashFolderFacts makeFacts(FuzzedDataProvider &in, unsigned uid)
{
    TrashFolderFacts f;
    f.exists = in.ConsumeBool();
    f.isFolder = in.ConsumeBool();
    f.isLink = in.ConsumeBool();
    f.sticky = in.ConsumeBool();
    f.owner = in.ConsumeBool() ? uid : in.ConsumeIntegral<unsigned>();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    CivilTime t;
    for (int *v : {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second})
        *v = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 60) : in.ConsumeIntegral<int>();
    const int attempt = in.ConsumeIntegralInRange(0, kTrashNameTries - 1);
    const auto maxBytes = in.ConsumeIntegralInRange<std::size_t>(8, 300);
    const unsigned uid = in.ConsumeIntegral<unsigned>();
    const TrashFolderFacts facts = makeFacts(in, uid);
    const TrashFolderFacts shared = makeFacts(in, uid);
    const std::string topdir = in.ConsumeRandomLengthString(32);
    const std::string path = in.ConsumeRemainingBytesAsString();

    check(decoded(encodeTrashPath(path)) == path);
    checkInfoText(path, t);
    checkInfoPath(path, topdir);
    if (!path.empty())
        checkEntryName(path, attempt, maxBytes);

    const TrashFolderState state = checkUserTrashFolder(facts, uid);
    check((state == TrashFolderState::Missing) == !facts.exists);
    check((state == TrashFolderState::Usable)
        == (facts.exists && facts.isFolder && !facts.isLink && facts.owner == uid));
    const std::vector<std::string> folders = topdirTrashFolders(topdir, uid, shared);
    const bool sharedUsable = shared.exists && shared.isFolder && !shared.isLink && shared.sticky;
    check(folders.size() == (sharedUsable ? 2U : 1U));
    check(folders.back() == joinPath(topdir, ".Trash-" + std::to_string(uid)));
    return 0;
}
