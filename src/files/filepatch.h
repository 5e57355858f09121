// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Rewriting a few bytes of a file without ever leaving it half written, and the journaled form
// that "元に戻す" reverses.

#include "files/fileoperations.h"
#include "files/journalformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace morvane::files {

// Replaces the bytes `before` at `pos` of the regular file `path` with `after`: the
// whole file is written anew under a temporary name in its folder, flushed to the disk, given
// the old file's mode, owner (where allowed) and access and modification times, and renamed over
// it, so that a crash or a full disk leaves either the old file or the new one. Refused when the
// file does not hold `before` there. False with a Japanese message in `error` otherwise; the file
// is then unchanged.
[[nodiscard]] bool patchFile(const QByteArray &path,
    std::uint64_t pos,
    const QByteArray &before,
    const QByteArray &after,
    QString *error);

// patchFile for several patches of the file at once, in one rewrite (see journal::Patch: ascending
// and not overlapping, positions in the file as it is now); refused unless every `before` is there.
[[nodiscard]] bool patchFile(
    const QByteArray &path, const std::vector<journal::Patch> &patches, QString *error);

// One rewrite of patchFile.
struct PatchRequest
{
    QByteArray path;
    std::vector<journal::Patch> patches;
};

// patchFile for each request, those that succeeded journaled as one entry of `action` (for
// instance "rotate"); each failure is reported through `prompter`. Returns how many succeeded.
int journaledPatches(Prompter &prompter, const char *action, const QList<PatchRequest> &requests);

} // namespace morvane::files
