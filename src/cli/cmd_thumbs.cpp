// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli thumbs DIR: the list build of the main window, headless, with its figures.
#include "browser/census.h"
#include "browser/filelistmodel.h"
#include "browser/listbuilder.h"
#include "browser/thumbcache.h"
#include "cli/commands.h"
#include "frame/settingsstore.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace morvane::cli {
namespace {

    const char kUsage[] = "usage: morvane-cli thumbs DIR [--size N] "
                          "[--quality full|half|quarter|eighth] [--threads N] [--sheet OUT.png] "
                          "[--no-cache]\n";

    // A contact sheet of more items would be an image of hundreds of megabytes.
    constexpr std::size_t kSheetItems = 2000;

    struct Arguments
    {
        std::string dir;
        browser::ListBuildOptions options;
        std::string sheet;
        bool useCache = true;
    };

    bool parseInt(const std::string &text, int low, int high, int &value)
    {
        int v = 0;
        const char *end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, v);
        if (ec != std::errc() || ptr != end || v < low || v > high)
            return false;
        value = v;
        return true;
    }

    bool parseQuality(const std::string &text, int &scale)
    {
        static const char *const names[] = {"full", "half", "quarter", "eighth"};
        for (int i = 0; i < 4; ++i) {
            if (text == names[i]) {
                scale = i;
                return true;
            }
        }
        return false;
    }

    // Fills `out`; on bad usage prints why and returns false.
    bool parseArguments(const std::vector<std::string> &args, Arguments &out)
    {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string &a = args[i];
            const bool hasValue = i + 1 < args.size();
            if (a == "--size" || a == "--quality" || a == "--threads" || a == "--sheet") {
                if (!hasValue) {
                    std::fprintf(stderr, "morvane-cli thumbs: %s に値がありません。\n", a.c_str());
                    return false;
                }
                const std::string &v = args[++i];
                bool ok = true;
                if (a == "--size")
                    ok = parseInt(v, 1, 1024, out.options.boxSize);
                else if (a == "--quality")
                    ok = parseQuality(v, out.options.jpegScale);
                else if (a == "--threads")
                    ok = parseInt(v, 0, 256, out.options.threads);
                else
                    out.sheet = v;
                if (!ok || v.empty()) {
                    std::fprintf(stderr,
                        "morvane-cli thumbs: %s の値「%s」は使えません。\n",
                        a.c_str(),
                        v.c_str());
                    return false;
                }
            } else if (a == "--no-cache") {
                out.useCache = false;
            } else if (out.dir.empty() && !a.empty() && a.rfind("--", 0) != 0) {
                out.dir = a;
            } else {
                std::fprintf(stderr, "morvane-cli thumbs: 引数「%s」は使えません。\n", a.c_str());
                return false;
            }
        }
        if (out.dir.empty()) {
            std::fputs("morvane-cli thumbs: フォルダーを指定してください。\n", stderr);
            return false;
        }
        return true;
    }

    // The built list drawn as a person would see it: the boxes in list order, each with its
    // caption under it, the census above them.
    bool writeSheet(
        const FileListModel &list, int boxSize, const QString &census, const QString &path)
    {
        int count = list.count();
        if (count > static_cast<int>(kSheetItems)) {
            std::fprintf(stderr,
                "morvane-cli thumbs: シートには一覧順の最初の %zu 件だけを載せます（全 %d "
                "件）。\n",
                kSheetItems,
                count);
            count = static_cast<int>(kSheetItems);
        }
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPixelSize(12);
        font.setStyleHint(QFont::SansSerif);
        const QFontMetrics metrics(font);
        const int gap = 8;
        const int cellWidth = std::max(boxSize, 120);
        const int lineHeight = metrics.height();
        const int cellHeight = boxSize + 4 + lineHeight;
        const int columns = std::clamp(
            static_cast<int>(std::ceil(std::sqrt(count * 1.5))), 1, std::max(1, 1600 / cellWidth));
        const int rows = std::max(1, (count + columns - 1) / columns);
        const int headerHeight = lineHeight + 2 * gap;
        const int width = std::max(
            gap + columns * (cellWidth + gap), metrics.horizontalAdvance(census) + 2 * gap);
        const int height = headerHeight + rows * (cellHeight + gap) + gap;

        QImage sheet(width, height, QImage::Format_RGB32);
        if (sheet.isNull())
            return false;
        sheet.fill(QColor(0xD4, 0xD4, 0xD4));
        QPainter painter(&sheet);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(gap, gap, width - 2 * gap, lineHeight), Qt::AlignLeft, census);
        for (int i = 0; i < count; ++i) {
            const int x = gap + (i % columns) * (cellWidth + gap);
            const int y = headerHeight + (i / columns) * (cellHeight + gap);
            const ListEntry &e = list.entry(i);
            painter.drawImage(x + (cellWidth - boxSize) / 2, y, e.thumb.box());
            const QString caption = metrics.elidedText(e.caption, Qt::ElideMiddle, cellWidth);
            painter.drawText(
                QRect(x, y + boxSize + 4, cellWidth, lineHeight), Qt::AlignHCenter, caption);
        }
        painter.end();
        QImageWriter writer(path, "png");
        return writer.write(sheet);
    }

    // What the built list holds: each item's share of its box's compact form (other files of one
    // type share one box) and its texts, with the allocators' own bookkeeping left out. Counted
    // rather than read from the heap, because boxes decoded ahead come from the decoding
    // threads' heaps, which the process-wide heap figures do not cover.
    double heldBytes(const FileListModel &list)
    {
        QHash<qint64, int> users; // shared pixels -> items that share them
        for (int row = 0; row < list.count(); ++row)
            ++users[list.entry(row).thumb.shareKey()];
        double bytes = 0;
        for (int row = 0; row < list.count(); ++row) {
            const ListEntry &e = list.entry(row);
            const qint64 key = e.thumb.shareKey();
            bytes += static_cast<double>(sizeof(ListEntry));
            bytes += static_cast<double>(e.thumb.bytes()) / (key == 0 ? 1 : users.value(key, 1));
            bytes += 200.0; // the image's shared header
            bytes +=
                static_cast<double>((e.caption.capacity() + 1) * 2 + e.nativeName.capacity() + 1);
            bytes += static_cast<double>(e.record.capacity()) * sizeof(QString);
            for (const QString &field : e.record)
                bytes += static_cast<double>((field.capacity() + 1) * 2 + 16);
        }
        return bytes;
    }

} // namespace

int runThumbs(const std::vector<std::string> &args)
{
    Arguments arguments;
    if (!parseArguments(args, arguments)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    struct stat st
    {
    };
    if (::stat(arguments.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr,
            "morvane-cli thumbs: フォルダー「%s」が見つかりません。\n",
            arguments.dir.c_str());
        return 2;
    }

    // Type icons and the sheet's text need a GUI application; without a display it runs on the
    // offscreen platform.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr
        && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "morvane-cli";
    static char *argv[] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QGuiApplication>(argc, argv);

    const QByteArray folder(arguments.dir.data(), static_cast<qsizetype>(arguments.dir.size()));
    // The window's cache, with the limit of the window's settings.
    std::unique_ptr<browser::ThumbCache> cache;
    if (arguments.useCache) {
        cache = std::make_unique<browser::ThumbCache>(browser::ThumbCache::defaultFolder(),
            browser::ThumbCache::limitIn(SettingsStore(SettingsStore::defaultPath())));
        arguments.options.cache = cache.get();
        if (!cache->refusal().isEmpty())
            std::fprintf(stderr, "thumbs: %s\n", cache->refusal().toUtf8().constData());
    }
    browser::ListBuilder builder;
    // The window's own list model, so the timing includes the sorted inserts and the sheet
    // shows the items in the window's order.
    FileListModel list;
    list.setSpillFolder(browser::ThumbCache::defaultFolder());
    QElapsedTimer timer;
    timer.start();
    const browser::ListBuildResult result =
        builder.build(folder, arguments.options, [&list](ListEntry &&e) {
            list.insertSorted(std::move(e));
        });
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;

    std::printf("files: %lld\n", static_cast<long long>(result.files));
    std::printf("pictures: %lld\n", static_cast<long long>(result.pictures));
    std::printf("other files: %lld\n", static_cast<long long>(result.others));
    std::printf("bytes: %lld\n", static_cast<long long>(result.bytes));
    if (!result.completed) {
        // The items so far stand, as in the window; there is no census to show.
        std::fflush(stdout);
        std::fprintf(stderr, "morvane-cli thumbs: %s\n", result.failure.toUtf8().constData());
        return 1;
    }

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto box = static_cast<double>(arguments.options.boxSize);
    const double perItem =
        list.count() == 0 ? 0.0 : heldBytes(list) / static_cast<double>(list.count());
    const std::string census = browser::censusText(result.files, result.bytes);
    const std::string panel = browser::positionText(census, 0);

    std::printf("wall time: %.3f s\n", seconds);
    std::printf("pictures per second: %.1f\n",
        seconds > 0 ? static_cast<double>(result.pictures) / seconds : 0.0);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf(
        "list memory: %.0f bytes per item held (budget %.0f)\n", perItem, box * box * 4 + 1024);
    std::printf("census: %s\n", panel.c_str());
    if (cache)
        std::printf("cache: read %lld, wrote %lld (%s)\n",
            static_cast<long long>(result.cacheReads),
            static_cast<long long>(result.cacheWrites),
            cache->folder().constData());
    else
        std::printf("cache: not used\n");

    if (!arguments.sheet.empty()) {
        if (!writeSheet(list,
                arguments.options.boxSize,
                QString::fromStdString(panel),
                QString::fromStdString(arguments.sheet))) {
            std::fprintf(stderr,
                "morvane-cli thumbs: シート「%s」を書き込めません。\n",
                arguments.sheet.c_str());
            return 1;
        }
        std::printf("sheet: %s\n", arguments.sheet.c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
