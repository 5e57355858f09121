// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cerrno>
#include <optional>
#include <string>
#include <unistd.h>

namespace morvane::cli {

// The argument as an absolute native path (bytes unchanged), or the reason it has none: an
// empty argument would name the working folder itself, and a relative one whose working
// folder is gone would be resolved against "/".
inline std::optional<QByteArray> absolute(const std::string &arg, std::string &why)
{
    QByteArray path = QByteArray::fromStdString(arg);
    if (path.isEmpty()) {
        why = "空のパスは指定できません。";
        return std::nullopt;
    }
    if (path.startsWith('/'))
        return path;
    std::string cwd(4096, '\0');
    const char *got = nullptr;
    while ((got = ::getcwd(cwd.data(), cwd.size())) == nullptr && errno == ERANGE)
        cwd.resize(cwd.size() * 2);
    if (got == nullptr || cwd.front() != '/') {
        why = "作業フォルダーが読めないため、相対パス「" + arg + "」は使えません。";
        return std::nullopt;
    }
    QByteArray folder(cwd.c_str());
    return folder.endsWith('/') ? folder + path : folder + '/' + path;
}

} // namespace morvane::cli
