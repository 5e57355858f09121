// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folderpath.h"

#include <cstddef>

namespace morvane::browser {
namespace {

    // Characters, not bytes: continuation bytes of UTF-8 are not counted.
    std::size_t characterCount(const std::string &s)
    {
        std::size_t n = 0;
        for (const char c : s) {
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
                ++n;
        }
        return n;
    }

} // namespace

std::string deriveFolderPath(const std::string &reportedPath, const std::string &displayText)
{
    const std::size_t slash = reportedPath.rfind('/');
    if (slash == std::string::npos)
        return reportedPath;
    if (reportedPath.compare(slash + 1, std::string::npos, displayText) == 0)
        return reportedPath;
    // A path of the system drive (every absolute path here) or a short one is kept as reported.
    if (characterCount(reportedPath) <= 3 || reportedPath.front() == '/')
        return reportedPath;
    return reportedPath + '/' + displayText;
}

std::string filePath(const std::string &folderPath, const std::string &name)
{
    // The root "/" takes no second separator: "//name" is a different path to POSIX and would
    // not compare equal to the same file's path written elsewhere.
    if (!folderPath.empty() && folderPath.back() == '/')
        return folderPath + name;
    return folderPath + '/' + name;
}

} // namespace morvane::browser
