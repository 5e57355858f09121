// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::app {

// The settings file in memory: sections of stored lines, parsed from and written back to the
// bytes of the file. All texts here are the file's own bytes (code page 932); the settings store
// converts at its boundary. Section names and keys match without regard to ASCII letter case.
// Never throws on bad input: any bytes parse to some (maybe empty) content.
class SettingsFile
{
public:
    // Parses the whole file. Empty input gives an empty object.
    [[nodiscard]] static SettingsFile parse(std::string_view bytes);

    // The whole file as it is written back: each section's "[" name "]" line, its stored lines,
    // an empty line; lines end in CR LF.
    [[nodiscard]] std::string serialize() const;

    // Reads with a default: a missing section or key, or an unreadable value, gives `def`. A
    // section or key that occurs twice (a hand-edited file) is read from its first occurrence.
    [[nodiscard]] int readInteger(std::string_view section, std::string_view key, int def) const;
    [[nodiscard]] bool readBool(std::string_view section, std::string_view key, bool def) const;
    [[nodiscard]] std::string readString(
        std::string_view section, std::string_view key, std::string_view def) const;

    // Writes replace the first entry of the key in the first section of that name, or append
    // the entry at the end of the section (a missing section is appended at the end of the file).
    // A value is stored without spaces and control characters at its ends, as a later reading
    // gives it back. A write that the file could not hold faithfully (see isStorable*) changes
    // nothing.
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    void writeString(std::string_view section, std::string_view key, std::string_view value);

    // writeString that tells whether the value was stored (false: nothing changed).
    [[nodiscard]] bool tryWriteString(
        std::string_view section, std::string_view key, std::string_view value);

    // True when the section holds an entry for the key (whatever its value).
    [[nodiscard]] bool hasValue(std::string_view section, std::string_view key) const;

    // What a write accepts. A section name: no CR, LF or NUL, no spaces or control characters at
    // its ends. A key: the same, no "=", and not opening with ";" or "[". A value: no CR, LF or
    // NUL (it would split the line or cut it short); spaces at its ends are dropped, not refused.
    [[nodiscard]] static bool isStorableName(std::string_view name) noexcept;
    [[nodiscard]] static bool isStorableKey(std::string_view key) noexcept;
    [[nodiscard]] static bool isStorableValue(std::string_view value) noexcept;

private:
    struct Section
    {
        std::string name;
        std::vector<std::string> lines;
    };
    [[nodiscard]] const Section *findSection(std::string_view section) const;
    [[nodiscard]] std::optional<std::string_view> findValue(
        std::string_view section, std::string_view key) const;

    std::vector<Section> m_sections;
};

// Reads an integer value text as the settings file does ("0x"/"0X" and "$" hexadecimal,
// otherwise decimal with optional sign); nullopt for an empty, malformed or out-of-range text.
[[nodiscard]] std::optional<int> parseInteger(std::string_view text);

// Applies a radio group's keys in table order. `checked` is the group's state before (one flag
// per item, table order); `read(i, def)` reads item i's key with the default `def` (the item's
// state at that moment). A true value checks item i and unchecks the others; a false value
// unchecks item i only. When no item is left checked, `designDefault` is checked. Returns the
// new state.
[[nodiscard]] std::vector<bool> applyRadioGroup(std::vector<bool> checked,
    const std::function<bool(std::size_t, bool)> &read,
    std::size_t designDefault);

} // namespace morvane::app
