// SPDX-License-Identifier: GPL-3.0-or-later
// rename: the batch rename over names given on the command line, as a dry run or, with
// --apply, carried out on the files through the file operations.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "cli/nativepath.h"
#include "organise/renamelang.h"
#include "platform/renamerun.h"
#include "platform/undojournal.h"

#include <QByteArray>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace morvane::cli {
namespace {

    constexpr const char *kUsage =
        "usage: morvane-cli rename --pattern PATTERN [--start N] [--apply] [--] NAME...\n";

    int badUsage(const char *why)
    {
        std::fprintf(stderr, "rename: %s\n", why);
        std::fputs(kUsage, stderr);
        return 2;
    }

    void printLine(std::string_view a, std::string_view b = {}, bool tab = false)
    {
        std::string line = printable(a);
        if (tab) {
            line += '\t';
            line += printable(b);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
    }

    // The folder part of a path given on the command line ("" for a bare name) and its name.
    struct SplitPath
    {
        std::string folder; // with its trailing "/", or empty
        std::string name;
    };
    SplitPath splitPath(const std::string &path)
    {
        const std::size_t cut = path.rfind('/');
        if (cut == std::string::npos)
            return {{}, path};
        return {path.substr(0, cut + 1), path.substr(cut + 1)};
    }

} // namespace

int runRename(const std::vector<std::string> &args)
{
    std::optional<std::string> pattern;
    std::optional<std::string> start;
    std::vector<std::string> names;
    bool optionsEnded = false;
    bool apply = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            names.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--apply") {
            apply = true;
        } else if (a == "--pattern" || a == "--start") {
            if (i + 1 >= args.size())
                return badUsage(
                    a == "--pattern" ? "--pattern needs a value" : "--start needs a value");
            (a == "--pattern" ? pattern : start) = args[++i];
        } else {
            return badUsage(("unknown option " + a).c_str());
        }
    }
    if (!pattern)
        return badUsage("--pattern is missing");
    if (names.empty())
        return badUsage("no NAME given");

    // The start number is read as the rename dialog reads its box: empty means 0 after a notice,
    // anything that is not a decimal integer ends the run before any name.
    std::int64_t startNumber = 1;
    if (start) {
        if (start->empty()) {
            std::fprintf(stderr, "%s\n", std::string(organise::kEmptyStartMessage).c_str());
            startNumber = 0;
        } else if (const auto n = organise::parseStartNumber(*start)) {
            startNumber = *n;
        } else {
            printLine("error", organise::notIntegerMessage(*start), true);
            return 1;
        }
    }

    // With --apply each NAME is the path of a file; the pattern works on its last part.
    std::vector<SplitPath> paths;
    if (apply) {
        for (std::string &n : names) {
            paths.push_back(splitPath(n));
            n = paths.back().name;
        }
    }
    const organise::RenameRun run = organise::buildNewNames(names, *pattern, startNumber);
    if (run.patternError != organise::RenameError::None) {
        printLine("error", run.patternMessage, true);
        return 1;
    }
    int status = 0;
    // One run per folder: (old name, new name) pairs in the order of the names.
    std::map<std::string, std::vector<std::pair<QByteArray, QByteArray>>> runs;
    for (std::size_t i = 0; i < run.results.size(); ++i) {
        const organise::RenameResult &r = run.results[i];
        if (!r.ok()) {
            printLine("error", r.message, true);
            status = 1;
            continue;
        }
        printLine(r.name);
        if (apply && r.name != names[i]) {
            runs[paths[i].folder].emplace_back(
                QByteArray::fromStdString(names[i]), QByteArray::fromStdString(r.name));
        }
    }
    // Names that files of the run give up are taken in an order that works; a name held by a
    // file outside the run, or given twice, is refused and that file keeps its name.
    ConsolePrompter prompter("rename");
    platform::UndoJournal journal(platform::UndoJournal::defaultFolder());
    for (const auto &[folder, renames] : runs) {
        const QByteArray where = absolute(folder);
        for (const bool done : platform::renameRun(prompter, journal, where, renames)) {
            if (!done)
                status = 1;
        }
    }
    return status;
}

} // namespace morvane::cli
