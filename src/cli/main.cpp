// SPDX-License-Identifier: GPL-3.0-or-later
// morvane-cli: the program's pure logic, its headless list builder and its file operations,
// from a terminal.
#include "cli/commands.h"
#include "imaging/allocator.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Command
{
    const char *name;
    const char *usage;
    int (*run)(const std::vector<std::string> &args);
};

// One row per subcommand.
const Command kCommands[] = {
    {"census", "census DIR", morvane::cli::runCensus},
    {"rename",
        "rename --pattern PATTERN [--start N] [--apply] [--] NAME...",
        morvane::cli::runRename},
    {"exif", "exif FILE", morvane::cli::runExif},
    {"thumbs",
        "thumbs DIR [--size N] [--quality full|half|quarter|eighth] [--threads N] [--sheet "
        "OUT.png] [--no-cache]",
        morvane::cli::runThumbs},
    {"cache", "cache stats|clear|prune", morvane::cli::runCache},
    {"copy", "copy SRC... DESTDIR", morvane::cli::runCopy},
    {"move", "move SRC... DESTDIR", morvane::cli::runMove},
    {"trash", "trash PATH...", morvane::cli::runTrash},
    {"rename-file", "rename-file PATH NEWNAME", morvane::cli::runRenameFile},
    {"undo", "undo [--list | --recover]", morvane::cli::runUndo},
    {nullptr, nullptr, nullptr},
};

int usage()
{
    std::fputs("usage: morvane-cli COMMAND ARGS...\n", stderr);
    for (const Command &c : kCommands) {
        if (c.name != nullptr)
            std::fprintf(stderr, "  %s\n", c.usage);
    }
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    morvane::imaging::useOneAllocatorArena();
    if (argc < 2)
        return usage();
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command &c : kCommands) {
        if (c.name != nullptr && std::strcmp(c.name, argv[1]) == 0)
            return c.run(args);
    }
    return usage();
}
