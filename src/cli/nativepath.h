// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cerrno>
#include <string>
#include <unistd.h>

namespace morvane::cli {

// The argument as an absolute native path (bytes unchanged).
inline QByteArray absolute(const std::string &arg)
{
    QByteArray path = QByteArray::fromStdString(arg);
    if (path.startsWith('/'))
        return path;
    std::string cwd(4096, '\0');
    while (::getcwd(cwd.data(), cwd.size()) == nullptr && errno == ERANGE)
        cwd.resize(cwd.size() * 2);
    QByteArray folder(cwd.c_str());
    return folder.endsWith('/') ? folder + path : folder + '/' + path;
}

} // namespace morvane::cli
