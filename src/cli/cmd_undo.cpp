// SPDX-License-Identifier: GPL-3.0-or-later
// undo: the undo journal from a terminal: reverse the newest entry, list the entries, or bring
// interrupted rename runs to an end.
#include "cli/commands.h"
#include "cli/consoleprompter.h"
#include "files/renamerun.h"
#include "files/undo.h"
#include "files/undojournal.h"

#include <cstdio>
#include <ctime>

namespace morvane::cli {

namespace {

    void out(const std::string &line)
    {
        std::fwrite(line.data(), 1, line.size(), stdout);
    }

    std::string when(std::int64_t time)
    {
        const auto t = static_cast<std::time_t>(time);
        std::tm local {};
        char buf[32] = {};
        if (::localtime_r(&t, &local) != nullptr)
            std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &local);
        return buf;
    }

} // namespace

int runUndo(const std::vector<std::string> &args)
{
    const bool list = args.size() == 1 && args[0] == "--list";
    const bool recover = args.size() == 1 && args[0] == "--recover";
    if (!args.empty() && !list && !recover) {
        std::fputs("usage: morvane-cli undo [--list | --recover]\n", stderr);
        return 2;
    }
    ConsolePrompter prompter("undo");
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    if (recover) {
        const files::Recovery r = files::recoverRuns(prompter, journal);
        out(std::to_string(r.runs - r.kept) + " run(s) recovered\n");
        if (r.kept > 0)
            out(std::to_string(r.kept) + " run(s) kept for a later recovery\n");
        return r.kept == 0 ? 0 : 1;
    }
    if (list) {
        const std::vector<files::journal::Entry> entries = journal.entries();
        for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
            out(when(e->time) + '\t' + files::actionLabel(e->action).toStdString() + '\t'
                + std::to_string(e->items.size()) + '\n');
            for (const files::journal::Item &item : e->items) {
                out(std::string("\t") + static_cast<char>(item.op) + '\t'
                    + printable(item.from, false, true) + '\t' + printable(item.to, false, true)
                    + '\n');
            }
        }
        return 0;
    }
    const files::UndoReport report = files::undoLast(prompter, journal);
    for (const QString &line : report.text().split(u'\n'))
        out(printable(line.toStdString()) + '\n');
    return report.found && report.refused.isEmpty() ? 0 : 1;
}

} // namespace morvane::cli
