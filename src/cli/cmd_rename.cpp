// SPDX-License-Identifier: GPL-3.0-or-later
// rename: the batch rename over names given on the command line, as a dry run or, with
// --apply, carried out on the files through the file operations.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "cli/nativepath.h"
#include "files/renamerun.h"
#include "files/undojournal.h"
#include "organise/renamelang.h"
#include "organise/renamepreview.h"
#include "platform/folderscan.h"

#include <QByteArray>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

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

    // The dry run's warnings: for each name whose new name is taken in its folder (the folder
    // part of the name, or the working folder), given to another name of that folder, held by a
    // file that cannot be renamed, or clashing in letter case only, the mark; "" for the others.
    std::vector<std::string> conflictMarks(
        const std::vector<std::string> &names, const organise::RenameRun &run)
    {
        std::map<std::string, std::vector<std::size_t>> byFolder;
        for (std::size_t i = 0; i < names.size(); ++i)
            byFolder[splitPath(names[i]).folder].push_back(i);
        std::vector<std::string> marks(names.size());
        for (const auto &[folder, indexes] : byFolder) {
            std::vector<std::string> olds;
            organise::RenameRun part;
            for (const std::size_t i : indexes) {
                olds.push_back(names[i]);
                part.results.push_back(run.results[i]);
            }
            const std::vector<organise::PreviewRow> rows = organise::previewRename(olds,
                part,
                platform::entryNames(QByteArray::fromStdString(folder.empty() ? "." : folder)));
            for (std::size_t k = 0; k < rows.size(); ++k) {
                const organise::PreviewMark m = rows[k].mark;
                if (m == organise::PreviewMark::Taken || m == organise::PreviewMark::SameInRun
                    || m == organise::PreviewMark::CaseOnly || m == organise::PreviewMark::Blocked)
                    marks[indexes[k]] = rows[k].text;
            }
        }
        return marks;
    }

    bool exists(const std::string &path)
    {
        struct stat st
        {
        };
        return ::lstat(path.c_str(), &st) == 0;
    }

    // Why the --apply name `path` cannot be renamed as a file, or null.
    const char *notAFile(const std::string &path)
    {
        struct stat st
        {
        };
        if (path.empty() || path.back() == '/')
            return "は名前の最後が空のため、名前を変更できません（ファイルを指定してください）。";
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return "はフォルダーのため、名前を変更しません（ファイルを指定してください）。";
        return nullptr;
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

    // With --apply each NAME is the path of a file; the pattern works on its last part. A name
    // that ends in "/" or names a folder would rename a folder (or the folder itself): refused
    // before anything is planned.
    std::vector<SplitPath> paths;
    if (apply) {
        for (std::string &n : names) {
            if (const char *why = notAFile(n)) {
                std::fprintf(stderr, "rename: 「%s」%s\n", printable(n).c_str(), why);
                return 2;
            }
            paths.push_back(splitPath(n));
            n = paths.back().name;
        }
    }
    const organise::RenameRun run = organise::buildNewNames(names, *pattern, startNumber);
    if (run.patternError != organise::RenameError::None) {
        printLine("error", run.patternMessage, true);
        return 1;
    }
    const std::vector<std::string> marks =
        apply ? std::vector<std::string>(names.size()) : conflictMarks(names, run);
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
        printLine(r.name, marks[i], !marks[i].empty());
        if (apply && r.name == names[i] && !exists(paths[i].folder + names[i])) {
            // No rename is needed, but a file that is not there is a failure all the same.
            std::fprintf(stderr,
                "rename: 「%s」が見つかりません。\n",
                printable(paths[i].folder + names[i]).c_str());
            status = 1;
        }
        if (apply && r.name != names[i]) {
            runs[paths[i].folder].emplace_back(
                QByteArray::fromStdString(names[i]), QByteArray::fromStdString(r.name));
        }
    }
    // Names that files of the run give up are taken in an order that works; a name held by a
    // file outside the run, or given twice, is refused and that file keeps its name.
    ConsolePrompter prompter("rename");
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    for (const auto &[folder, renames] : runs) {
        std::string why;
        const std::optional<QByteArray> where = absolute(folder.empty() ? "./" : folder, why);
        if (!where) {
            std::fprintf(stderr, "rename: %s\n", why.c_str());
            status = 2;
            continue;
        }
        for (const bool done : files::renameRun(prompter, journal, *where, renames)) {
            if (!done)
                status = 1;
        }
    }
    return status;
}

} // namespace morvane::cli
