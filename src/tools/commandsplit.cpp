// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/commandsplit.h"

namespace morvane::tools {

namespace {

    bool isBlank(char c) noexcept
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r';
    }

    bool escapesInDoubleQuotes(char c) noexcept
    {
        return c == '"' || c == '\\' || c == '$' || c == '`';
    }

} // namespace

std::optional<std::vector<std::string>> splitCommand(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    // A word exists once any piece of it is met, so that "" alone is an empty word.
    bool inWord = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\'') {
            const std::size_t close = text.find('\'', i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            word.append(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    return std::nullopt;
                const char d = text[i];
                if (d == '"')
                    break;
                if (d == '\\' && i + 1 < text.size() && escapesInDoubleQuotes(text[i + 1])) {
                    word.push_back(text[i + 1]);
                    i += 2;
                } else {
                    word.push_back(d);
                    ++i;
                }
            }
            ++i;
        } else if (c == '\\') {
            // A backslash at the end has nothing to escape and stays.
            if (i + 1 < text.size()) {
                word.push_back(text[i + 1]);
                i += 2;
            } else {
                word.push_back(c);
                ++i;
            }
        } else {
            word.push_back(c);
            ++i;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string quoteWord(std::string_view word)
{
    bool plain = !word.empty();
    for (const char c : word) {
        if (isBlank(c) || c == '\'' || c == '"' || c == '\\')
            plain = false;
    }
    if (plain)
        return std::string(word);
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::optional<std::vector<std::string>> toolArguments(
    std::string_view command, std::string_view filePath)
{
    std::optional<std::vector<std::string>> words = splitCommand(command);
    if (!words || words->empty())
        return std::nullopt;
    words->emplace_back(filePath);
    return words;
}

} // namespace morvane::tools
