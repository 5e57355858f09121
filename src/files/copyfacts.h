// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a copy checks and carries beside a file's bytes: whether the file stayed the same while
// it was copied, its user extended attributes, and whether a finished copy is already in place.

#include <QByteArray>
#include <QList>

#include <sys/stat.h>

namespace morvane::files {

// True when `a` and `b` describe the same file in the same state: device, inode, size,
// modification and change time (to the nanosecond). A file rewritten in place, or another file
// renamed over its name, differs.
[[nodiscard]] bool sameFileState(const struct stat &a, const struct stat &b);

// Copies the user.* extended attributes (tags, comments) of the open file `from` to `to`; the
// names of those `to` cannot hold. A source whose file system has none copies nothing.
[[nodiscard]] QList<QByteArray> copyUserAttributes(int from, int to);
// The same for the entries at the native paths (links not followed): for folders.
[[nodiscard]] QList<QByteArray> copyUserAttributesAt(const QByteArray &from, const QByteArray &to);

// True when the regular files at the native paths hold the same bytes.
[[nodiscard]] bool sameContent(const QByteArray &a, const QByteArray &b);

} // namespace morvane::files
