// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli census DIR: the census panel's text after a list build, then one line per item of
// the list as the main window builds it: caption, kind, size, date-time, width, height.
#include "browser/census.h"
#include "browser/filelistmodel.h"
#include "browser/listbuilder.h"
#include "cli/commands.h"

#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

    // The list build draws type icons and the caption order uses the locale's collator: both
    // want a GUI application, which runs on the offscreen platform when there is no display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr
        && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QGuiApplication> app;
    static int argc = 1;
    static char name[] = "morvane-cli";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QGuiApplication>(argc, argv);

    // The window's own build and list model, so every line is what the window lists, in its
    // order.
    browser::ListBuilder builder;
    FileListModel list;
    const browser::ListBuildResult result =
        builder.build(QByteArray(dir.data(), static_cast<qsizetype>(dir.size())),
            browser::ListBuildOptions {},
            [&list](ListEntry &&e) {
                list.insertSorted(std::move(e));
            });
    if (!result.completed) {
        std::fprintf(stderr, "morvane-cli census: %s\n", result.failure.toUtf8().constData());
        return 1;
    }

    writeLine(browser::positionText(browser::censusText(result.files, result.bytes), 0));
    for (int row = 0; row < list.count(); ++row) {
        const ListEntry &e = list.entry(row);
        std::string line = fieldText(e.caption);
        for (int field = KindFlag; field <= HeightField; ++field) {
            line += '\t';
            line += e.record.value(field).toStdString();
        }
        writeLine(line);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
