// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli census DIR: the census panel's text after a list build, then one line per file.
#include "browser/census.h"
#include "browser/datetimetext.h"
#include "cli/commands.h"
#include "platform/captionorder.h"
#include "platform/folderscan.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::cli {
namespace {

    // A caption goes out on one line between tabs: a control character in a file name (a tab or
    // a line break is legal on Linux) is written as U+FFFD, as a byte that is not UTF-8 already
    // is, so no name can forge a line or a field.
    std::string fieldText(const QString &caption)
    {
        QString safe = caption;
        for (QChar &c : safe) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                c = QChar(QChar::ReplacementCharacter);
        }
        return safe.toStdString();
    }

    void writeLine(const std::string &line)
    {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }

} // namespace

int runCensus(const std::vector<std::string> &args)
{
    if (args.size() != 1) {
        std::fputs("usage: morvane-cli census DIR\n", stderr);
        return 2;
    }
    const std::string &dir = args.front();
    struct stat st
    {
    };
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0) {
        std::fprintf(stderr,
            "morvane-cli census: フォルダー「%s」が見つかりません（%s）。\n",
            dir.c_str(),
            std::strerror(dir.empty() ? ENOENT : errno));
        return 2;
    }
    if (!S_ISDIR(st.st_mode)) {
        std::fprintf(
            stderr, "morvane-cli census: 「%s」はフォルダーではありません。\n", dir.c_str());
        return 2;
    }
    if (::access(dir.c_str(), R_OK | X_OK) != 0) {
        std::fprintf(stderr,
            "morvane-cli census: フォルダー「%s」を読めないため、空のフォルダーとして数えます。\n",
            dir.c_str());
    }

    // The caption order uses the system locale's collator, which wants an application object.
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "morvane-cli";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);

    std::vector<platform::FolderEntry> entries =
        platform::scanFolder(QByteArray(dir.data(), static_cast<qsizetype>(dir.size())));
    const platform::CaptionOrder order;
    std::stable_sort(entries.begin(),
        entries.end(),
        [&order](const platform::FolderEntry &a, const platform::FolderEntry &b) {
            const int c = order.compare(a.name, b.name);
            // Names that are not UTF-8 may show alike; their bytes keep the order total.
            return c != 0 ? c < 0 : a.nativeName < b.nativeName;
        });

    std::int64_t total = 0;
    for (const platform::FolderEntry &e : entries)
        total += e.size;
    writeLine(browser::positionText(
        browser::censusText(static_cast<std::int64_t>(entries.size()), total), 0));
    for (const platform::FolderEntry &e : entries) {
        std::string line = fieldText(e.name);
        line += "\t1\t";
        line += std::to_string(e.size);
        line += '\t';
        line += browser::dateTimeText(e.year, e.month, e.day, e.hour, e.minute, e.second);
        line += "\t\t";
        writeLine(line);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
