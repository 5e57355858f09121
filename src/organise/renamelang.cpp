// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/renamelang.h"

#include "platform/cp932.h"

#include <algorithm>
#include <limits>

namespace morvane::organise {
namespace {

    constexpr std::string_view kGrammarMessage = "閉じる<>\\*?/文法が違います。";
    constexpr std::string_view kMissingCountMessage = "桁数がありません。";
    constexpr std::string_view kSplitMessage =
        "新しいファイル名で全角文字が途中で切れるため、このファイルの名前は変更しません。";
    constexpr std::string_view kTooLongMessage =
        "新しいファイル名が長すぎるため、このファイルの名前は変更しません。";
    constexpr std::string_view kForbiddenMessage =
        "新しいファイル名に「/」または NUL 文字が含まれるため、このファイルの名前は変更しません。";
    constexpr std::string_view kUnconvertibleMessage =
        "扱えない文字が多すぎるため、このファイルの名前は変更しません。";

    // Length of the character at `i`: 2 for a lead byte followed by a valid trail byte, else 1.
    // A lead byte without a valid trail (only possible in hostile bytes) stands alone, so the byte
    // after it is read as a character of its own.
    std::size_t charLength(std::string_view s, std::size_t i) noexcept
    {
        if (platform::isCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()
            && platform::isCp932TrailByte(static_cast<unsigned char>(s[i + 1]))) {
            return 2;
        }
        return 1;
    }

    struct Split
    {
        std::string_view base;
        std::string_view extension; // with its "."
    };

    // The last ".", "\" or ":" found by characters decides: a "." splits there, the others mean
    // that there is no extension. The second byte of a double-byte character is never taken.
    Split splitName(std::string_view s) noexcept
    {
        std::size_t last = std::string_view::npos;
        for (std::size_t i = 0; i < s.size();) {
            const std::size_t len = charLength(s, i);
            if (len == 1 && (s[i] == '.' || s[i] == '\\' || s[i] == ':'))
                last = i;
            i += len;
        }
        if (last == std::string_view::npos || s[last] != '.')
            return {s, {}};
        return {s.substr(0, last), s.substr(last)};
    }

    bool isControl(char c) noexcept
    {
        return c == '<' || c == '>' || c == '\\' || c == '*' || c == '?' || c == '/';
    }

    RenamePattern::Kind kindOf(char c) noexcept
    {
        switch (c) {
        case '<':
            return RenamePattern::Kind::Keep;
        case '>':
            return RenamePattern::Kind::Drop;
        case '*':
            return RenamePattern::Kind::Lower;
        case '?':
            return RenamePattern::Kind::Upper;
        case '/':
            return RenamePattern::Kind::Pad;
        default:
            return RenamePattern::Kind::Sequence;
        }
    }

    // ASCII letters only; a double-byte character stays whole even when its second byte lies in
    // "A"-"Z" or "a"-"z".
    void appendCased(std::string &out, std::string_view s, bool toLower)
    {
        for (std::size_t i = 0; i < s.size();) {
            const std::size_t len = charLength(s, i);
            char c = s[i];
            if (len == 1) {
                if (toLower && c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c + ('a' - 'A'));
                else if (!toLower && c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - ('a' - 'A'));
                out += c;
            } else {
                out.append(s.substr(i, len));
            }
            i += len;
        }
    }

    std::int64_t advanced(std::int64_t n, std::int64_t by) noexcept
    {
        // Modular, so no signed overflow even for a start number at the very end of the range.
        return static_cast<std::int64_t>(
            static_cast<std::uint64_t>(n) + static_cast<std::uint64_t>(by));
    }

    RenameResult fileError(RenameError e)
    {
        RenameResult r;
        r.error = e;
        switch (e) {
        case RenameError::SplitCharacter:
            r.message = kSplitMessage;
            break;
        case RenameError::NameTooLong:
            r.message = kTooLongMessage;
            break;
        case RenameError::ForbiddenCharacter:
            r.message = kForbiddenMessage;
            break;
        default:
            r.message = kUnconvertibleMessage;
            break;
        }
        return r;
    }

    RenameResult patternError(const ParsedPattern &p)
    {
        RenameResult r;
        r.error = p.error;
        r.message = p.message;
        return r;
    }

} // namespace

ParsedPattern parsePattern(std::string_view patternCp932)
{
    ParsedPattern result;
    if (patternCp932.empty()) {
        result.error = RenameError::EmptyPattern;
        result.message = kEmptyPatternMessage;
        return result;
    }
    const Split split = splitName(patternCp932);
    const std::string_view base = split.base;
    result.pattern.extension = std::string(split.extension);

    std::vector<RenamePattern::Piece> &pieces = result.pattern.base;
    auto appendLiteral = [&pieces](std::string_view text) {
        if (pieces.empty() || pieces.back().kind != RenamePattern::Kind::Literal)
            pieces.push_back({});
        pieces.back().text.append(text);
    };

    std::size_t i = 0;
    while (i < base.size()) {
        const std::size_t len = charLength(base, i);
        if (len == 2 || !isControl(base[i])) {
            appendLiteral(base.substr(i, len));
            i += len;
            continue;
        }
        const char c = base[i++];
        const std::size_t digitsStart = i;
        while (i < base.size() && base[i] >= '0' && base[i] <= '9')
            ++i;
        if (i >= base.size() || base[i] != c) {
            result.error = RenameError::Grammar;
            result.message = kGrammarMessage;
            return result;
        }
        const std::string_view digits = base.substr(digitsStart, i - digitsStart);
        ++i; // the closing control character
        if (digits.empty()) {
            result.error = RenameError::MissingCount;
            result.message = kMissingCountMessage;
            return result;
        }
        std::int64_t n = 0;
        bool inRange = true;
        for (const char d : digits) {
            n = n * 10 + (d - '0');
            if (n > std::numeric_limits<std::int32_t>::max()) {
                inRange = false;
                break;
            }
        }
        if (!inRange) {
            result.error = RenameError::CountOutOfRange;
            result.message = notIntegerMessage(digits);
            return result;
        }
        RenamePattern::Piece piece;
        piece.kind = kindOf(c);
        piece.count = n;
        if (piece.kind == RenamePattern::Kind::Sequence)
            ++result.pattern.sequenceGroups;
        pieces.push_back(std::move(piece));
    }
    return result;
}

RenameResult applyPattern(
    const RenamePattern &pattern, std::string_view oldNameCp932, std::int64_t &SequenceNumber)
{
    using Kind = RenamePattern::Kind;
    const std::int64_t startNumber = SequenceNumber;
    auto refuse = [&](RenameError e) {
        SequenceNumber = advanced(startNumber, pattern.sequenceGroups);
        return fileError(e);
    };

    const Split old = splitName(oldNameCp932);
    const std::string_view ob = old.base;
    // Character boundaries of the old base, so that a taken run can be checked for a cut.
    std::vector<bool> boundary(ob.size() + 1, false);
    for (std::size_t i = 0; i < ob.size(); i += charLength(ob, i))
        boundary[i] = true;
    boundary[ob.size()] = true;

    std::string out;
    std::size_t cursor = 0; // SourceCursor, 0-based; never past the end of the old base
    for (const RenamePattern::Piece &piece : pattern.base) {
        const auto n = static_cast<std::uint64_t>(piece.count);
        switch (piece.kind) {
        case Kind::Literal:
            out += piece.text;
            break;
        case Kind::Sequence: {
            const std::string digits = std::to_string(SequenceNumber);
            const std::size_t pad =
                n > digits.size() ? static_cast<std::size_t>(n) - digits.size() : 0;
            if (out.size() + pad + digits.size() > kMaxNewNameBytes)
                return refuse(RenameError::NameTooLong);
            out.append(pad, '0');
            out += digits;
            SequenceNumber = advanced(SequenceNumber, 1);
            break;
        }
        default: {
            const std::size_t left = ob.size() - cursor;
            const std::size_t taken = n < left ? static_cast<std::size_t>(n) : left;
            const std::string_view run = ob.substr(cursor, taken);
            if (piece.kind != Kind::Drop && taken > 0
                && (!boundary[cursor] || !boundary[cursor + taken])) {
                return refuse(RenameError::SplitCharacter);
            }
            cursor += taken;
            if (piece.kind == Kind::Drop)
                break;
            const std::size_t pad =
                piece.kind == Kind::Pad ? static_cast<std::size_t>(n) - taken : 0;
            if (out.size() + pad + taken > kMaxNewNameBytes)
                return refuse(RenameError::NameTooLong);
            out.append(pad, '0');
            if (piece.kind == Kind::Lower || piece.kind == Kind::Upper)
                appendCased(out, run, piece.kind == Kind::Lower);
            else
                out += run;
            break;
        }
        }
        if (out.size() > kMaxNewNameBytes)
            return refuse(RenameError::NameTooLong);
    }

    // "*" turns the extension into the old one in lower case, and "?" is then looked for in that
    // result, which holds none unless the old extension does. Both are decided on the pattern's
    // extension as typed, so a "?" that only arrives with the old extension (possible in names of
    // this platform) cannot turn "*" into upper case: "*" wins, "?" counts only without it.
    const std::string &pe = pattern.extension;
    std::string extension;
    if (pe.find('*') != std::string::npos)
        appendCased(extension, old.extension, true);
    else if (pe.find('?') != std::string::npos)
        appendCased(extension, old.extension, false);
    else
        extension = pe;
    if (extension.empty())
        extension = old.extension;

    if (out.size() + extension.size() > kMaxNewNameBytes)
        return refuse(RenameError::NameTooLong);
    RenameResult result;
    result.name = std::move(out);
    result.name += extension;
    // "/" would address another folder and a NUL would cut the name short. Neither byte can be
    // the second byte of a double-byte character, so a plain byte search is exact.
    if (result.name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return refuse(RenameError::ForbiddenCharacter);
    return result;
}

RenameResult BuildNewName(
    std::string_view oldNameCp932, std::string_view patternCp932, std::int64_t &SequenceNumber)
{
    const ParsedPattern parsed = parsePattern(patternCp932);
    if (parsed.error != RenameError::None)
        return patternError(parsed);
    return applyPattern(parsed.pattern, oldNameCp932, SequenceNumber);
}

RenameResult BuildNewNameUtf8(
    std::string_view oldName, std::string_view pattern, std::int64_t &SequenceNumber)
{
    // A name in code page 932 bytes is counted as the text it holds, and the new name is that
    // text in this platform's encoding.
    if (const std::optional<std::string> text = platform::cp932Reading(oldName))
        return BuildNewNameUtf8(*text, pattern, SequenceNumber);
    // One conversion of both texts, so that the placeholders for characters outside the code page
    // are numbered in one table and the new name, made of bytes of both, converts back exactly.
    // A NUL separates them: it can never continue a UTF-8 sequence and becomes the byte 0, which
    // no double-byte character contains.
    std::string joined;
    joined.reserve(oldName.size() + 1 + pattern.size());
    joined.append(oldName);
    joined += '\0';
    joined.append(pattern);
    const platform::Cp932Text both = platform::toCp932(joined);

    if (!both.lossless) {
        // The pattern's errors still come first; its numbers are consumed as for any refused file.
        const platform::Cp932Text alone = platform::toCp932(pattern);
        if (alone.lossless) {
            const ParsedPattern parsed = parsePattern(alone.bytes);
            if (parsed.error != RenameError::None)
                return patternError(parsed);
            SequenceNumber = advanced(SequenceNumber, parsed.pattern.sequenceGroups);
        }
        return fileError(RenameError::Unconvertible);
    }

    const auto nulsInOld =
        static_cast<std::size_t>(std::count(oldName.begin(), oldName.end(), '\0'));
    std::size_t split = 0;
    for (std::size_t seen = 0;; ++split) {
        if (both.bytes[split] == '\0' && seen++ == nulsInOld)
            break;
    }
    const std::string_view bytes = both.bytes;
    RenameResult r = BuildNewName(bytes.substr(0, split), bytes.substr(split + 1), SequenceNumber);
    if (r.ok())
        r.name = platform::fromCp932(r.name, both.extras);
    return r;
}

RenameRun buildNewNames(
    const std::vector<std::string> &oldNames, std::string_view pattern, std::int64_t startNumber)
{
    RenameRun run;
    run.nextSequenceNumber = startNumber;
    const platform::Cp932Text converted = platform::toCp932(pattern);
    // With more unconvertible characters than can be carried the pattern cannot be read
    // faithfully; every file is then refused on its own below.
    if (converted.lossless) {
        const ParsedPattern parsed = parsePattern(converted.bytes);
        if (parsed.error != RenameError::None) {
            run.patternError = parsed.error;
            run.patternMessage = parsed.message;
            return run;
        }
    }
    run.results.reserve(oldNames.size());
    for (const std::string &name : oldNames)
        run.results.push_back(BuildNewNameUtf8(name, pattern, run.nextSequenceNumber));
    return run;
}

std::optional<std::int32_t> parseStartNumber(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t {std::numeric_limits<std::int32_t>::max()} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string notIntegerMessage(std::string_view text)
{
    std::string m = "'";
    m.append(text);
    m += "' は整数ではありません";
    return m;
}

} // namespace morvane::organise
