// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the settings file. Besides the sanitizers' own checks it traps when a
// result breaks what the windows rely on: a save that does not read back the same (parse of a
// serialised file must serialise to the same bytes and give the same values), a file whose lines
// do not all end in CR LF, an accepted write that does not read back, a refused write that
// changed something, an integer that does not survive its own decimal text, or a radio group
// left with other than one checked item.
#include "frame/settingsfile.h"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

namespace {

using morvane::app::SettingsFile;

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

std::string_view trimmed(std::string_view s)
{
    const auto cut = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0x7F;
    };
    while (!s.empty() && cut(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && cut(s.back()))
        s.remove_suffix(1);
    return s;
}

// Every line ends in CR LF, and no CR or LF stands anywhere else.
bool wellFormed(std::string_view s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n')
            return false;
        if (s[i] == '\r') {
            if (i + 1 >= s.size() || s[i + 1] != '\n')
                return false;
            ++i;
        }
    }
    return true;
}

// What a save writes must read back as the same file: same bytes, same values.
void checkStable(const SettingsFile &f, const std::string &section, const std::string &key, int def)
{
    const std::string once = f.serialize();
    check(wellFormed(once));
    const SettingsFile again = SettingsFile::parse(once);
    check(again.serialize() == once);
    check(again.hasValue(section, key) == f.hasValue(section, key));
    check(again.readString(section, key, "\x01") == f.readString(section, key, "\x01"));
    check(again.readInteger(section, key, def) == f.readInteger(section, key, def));
    check(f.readBool(section, key, true) == (f.readInteger(section, key, 1) != 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string integerText = in.ConsumeRandomLengthString(24);
    const int def = in.ConsumeIntegral<int>();
    const std::string file = in.ConsumeRemainingBytesAsString();

    SettingsFile f = SettingsFile::parse(file);
    checkStable(f, section, key, def);

    // A write of a storable name, key and value is accepted and reads back trimmed; any other
    // write changes nothing.
    const std::string before = f.serialize();
    const bool storable = SettingsFile::isStorableName(section) && SettingsFile::isStorableKey(key)
        && SettingsFile::isStorableValue(value);
    const bool stored = f.tryWriteString(section, key, value);
    check(stored == storable);
    if (stored) {
        check(f.hasValue(section, key));
        check(f.readString(section, key, "\x01") == trimmed(value));
    } else {
        check(f.serialize() == before);
    }
    checkStable(f, section, key, def);

    // An integer that reads from a text survives being written in decimal.
    if (const auto v = morvane::app::parseInteger(integerText)) {
        check(morvane::app::parseInteger(std::to_string(*v)) == v);
        if (storable) {
            f.writeInteger(section, key, *v);
            check(f.readInteger(section, key, def) == *v);
            checkStable(f, section, key, def);
        }
    }

    // A radio group of keys "<key>1" ... "<key>7" read from the file ends with one item checked.
    std::vector<bool> group(7, false);
    group[1] = true;
    const auto read = [&](std::size_t i, bool d) {
        return f.readBool(section, key + std::to_string(i + 1), d);
    };
    const std::vector<bool> result = morvane::app::applyRadioGroup(group, read, 1);
    std::size_t checkedItems = 0;
    for (const bool c : result)
        checkedItems += c ? 1 : 0;
    check(result.size() == 7 && checkedItems == 1);
    return 0;
}
