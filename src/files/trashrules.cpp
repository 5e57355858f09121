// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/trashrules.h"

#include "files/fileoprules.h"

#include <algorithm>
#include <cstdio>

namespace morvane::files {

namespace {

    // An extension longer than this is part of the name: it is not kept apart when numbering.
    constexpr std::size_t kLongestExtension = 16;

    bool isUnreserved(unsigned char c) noexcept
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || std::string_view("-_.!~*'()/").find(static_cast<char>(c)) != std::string_view::npos;
    }

} // namespace

std::string encodeTrashPath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c)) {
            out += ch;
            continue;
        }
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

std::string trashInfoText(std::string_view path, const CivilTime &t)
{
    char date[64];
    std::snprintf(date,
        sizeof date,
        "%04d-%02d-%02dT%02d:%02d:%02d",
        t.year,
        t.month,
        t.day,
        t.hour,
        t.minute,
        t.second);
    return "[Trash Info]\nPath=" + encodeTrashPath(path) + "\nDeletionDate=" + date + '\n';
}

std::string trashInfoPath(std::string_view path, std::string_view topdir)
{
    topdir = trimTrailingSlashes(topdir);
    if (topdir.empty() || !isSameOrInside(topdir, path) || path.size() <= topdir.size())
        return std::string(path);
    const std::size_t skip = topdir == "/" ? 1 : topdir.size() + 1;
    return std::string(path.substr(skip));
}

std::string trashEntryName(std::string_view name, int attempt, std::size_t maxBytes)
{
    std::string_view stem = name;
    std::string_view ext;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= kLongestExtension) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    const std::string number = attempt > 0 ? "." + std::to_string(attempt + 1) : std::string();
    if (stem.size() + number.size() + ext.size() > maxBytes) {
        // Too long: the stem is cut. An extension that would leave less than half the room for
        // the stem goes too.
        if (2 * (number.size() + ext.size()) > maxBytes)
            ext = {};
        std::size_t keep = maxBytes > number.size() + ext.size()
            ? std::min(stem.size(), maxBytes - number.size() - ext.size())
            : 0;
        // Not inside a UTF-8 sequence: back off from continuation bytes (at most three).
        for (int i = 0; i < 3 && keep > 0 && keep < stem.size()
             && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80;
             ++i)
            --keep;
        stem = stem.substr(0, keep);
    }
    std::string out(stem);
    out += number;
    out += ext;
    return out;
}

TrashFolderState checkUserTrashFolder(const TrashFolderFacts &f, unsigned uid) noexcept
{
    if (!f.exists)
        return TrashFolderState::Missing;
    if (f.isLink || !f.isFolder || f.owner != uid)
        return TrashFolderState::Unsafe;
    return TrashFolderState::Usable;
}

std::vector<std::string> topdirTrashFolders(
    std::string_view topdir, unsigned uid, const TrashFolderFacts &shared)
{
    const std::string id = std::to_string(uid);
    std::vector<std::string> out;
    if (shared.exists && shared.isFolder && !shared.isLink && shared.sticky)
        out.push_back(joinPath(joinPath(topdir, ".Trash"), id));
    out.push_back(joinPath(topdir, ".Trash-" + id));
    return out;
}

} // namespace morvane::files
