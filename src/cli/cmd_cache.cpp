// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli cache stats|clear|prune: the thumbnail cache the window and `thumbs` use.
#include "browser/thumbcache.h"
#include "cli/commands.h"
#include "frame/settingsstore.h"

#include <QFileInfo>

#include <cstdio>

namespace morvane::cli {

int runCache(const std::vector<std::string> &args)
{
    if (args.size() != 1 || (args[0] != "stats" && args[0] != "clear" && args[0] != "prune")) {
        std::fputs("usage: morvane-cli cache stats|clear|prune\n", stderr);
        return 2;
    }
    // The settings beside this executable as the window looks beside its own, without asking
    // Qt for the program's folder (that needs an application object, which this command has
    // no use for).
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    browser::ThumbCache cache(browser::ThumbCache::defaultFolder(),
        browser::ThumbCache::limitIn(
            SettingsStore(SettingsStore::defaultPathFor(QFileInfo(exe).absolutePath()))));
    if (!cache.refusal().isEmpty())
        std::fprintf(stderr, "cache: %s\n", cache.refusal().toUtf8().constData());
    const auto mib = [](std::int64_t bytes) {
        return static_cast<double>(bytes) / (1024.0 * 1024.0);
    };
    if (args[0] == "clear") {
        std::printf("removed: %lld entries\n", static_cast<long long>(cache.clear()));
    } else if (args[0] == "prune") {
        std::printf("removed: %lld entries\n", static_cast<long long>(cache.prune()));
    }
    const browser::ThumbCache::Usage u = cache.usage();
    std::printf("folder: %s\n", cache.folder().constData());
    std::printf("entries: %lld\n", static_cast<long long>(u.entries));
    std::printf("size: %.1f MiB (limit %.0f MiB)\n", mib(u.bytes), mib(cache.limitBytes()));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
