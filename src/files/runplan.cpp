// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/runplan.h"

#include "files/fileoprules.h"

#include <deque>
#include <map>

namespace morvane::files {

std::string runTemporaryName(const std::string &tag, std::size_t index)
{
    return std::string(kTemporaryPrefix) + "run-" + tag + '-' + std::to_string(index);
}

RunPlan planRun(const std::vector<RunItem> &items, const std::set<std::string> &folderNames)
{
    const std::size_t n = items.size();
    RunPlan plan;
    plan.verdicts.assign(n, RunVerdict::Renamed);
    std::map<std::string, std::size_t> byTarget;
    std::map<std::string, std::size_t> bySource;
    for (std::size_t i = 0; i < n; ++i) {
        if (items[i].from == items[i].to) {
            plan.verdicts[i] = RunVerdict::Unchanged;
            continue;
        }
        // A name listed twice is one file: the later entry has nothing left to rename.
        if (!bySource.emplace(items[i].from, i).second)
            plan.verdicts[i] = RunVerdict::Occupied;
        else if (!byTarget.emplace(items[i].to, i).second)
            plan.verdicts[i] = RunVerdict::SameTarget;
    }
    // A name is free at the end when no entry holds it now, or its holder is renamed away.
    const auto renamed = [&](std::size_t i) {
        return plan.verdicts[i] == RunVerdict::Renamed;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (!renamed(i))
                continue;
            const auto holder = bySource.find(items[i].to);
            const bool heldByRun = holder != bySource.end();
            const bool free =
                heldByRun ? renamed(holder->second) : folderNames.count(items[i].to) == 0;
            if (!free) {
                plan.verdicts[i] = RunVerdict::Occupied;
                changed = true;
            }
        }
    }
    // The renamed items form chains and cycles: each name is wanted by at most one item. An item
    // is ready when no pending item holds its new name; its rename frees the name the item that
    // wants it is waiting for.
    std::map<std::string, std::size_t> holding; // name → pending item that holds it
    std::map<std::string, std::size_t> wanting; // name → pending item that wants it
    std::vector<std::string> current(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!renamed(i))
            continue;
        current[i] = items[i].from;
        holding[items[i].from] = i;
        wanting[items[i].to] = i;
    }
    std::deque<std::size_t> ready;
    for (std::size_t i = 0; i < n; ++i) {
        if (renamed(i) && holding.count(items[i].to) == 0)
            ready.push_back(i);
    }
    std::vector<bool> done(n, false);
    const auto take = [&](std::size_t i) {
        plan.steps.push_back({i, current[i], items[i].to});
        holding.erase(current[i]);
        wanting.erase(items[i].to);
        done[i] = true;
        if (const auto w = wanting.find(current[i]); w != wanting.end())
            ready.push_back(w->second);
    };
    for (std::size_t next = 0;;) {
        while (!ready.empty()) {
            const std::size_t i = ready.front();
            ready.pop_front();
            if (!done[i])
                take(i);
        }
        while (next < n && (!renamed(next) || done[next]))
            ++next;
        if (next == n)
            break;
        // Only cycles are left: the first item steps aside to its temporary name, which frees
        // the name the rest of its cycle waits for; it takes its new name last.
        const std::string &temporary = items[next].via;
        plan.steps.push_back({next, current[next], temporary});
        holding.erase(current[next]);
        const std::string freed = current[next];
        current[next] = temporary;
        holding[temporary] = next;
        if (const auto w = wanting.find(freed); w != wanting.end())
            ready.push_back(w->second);
    }
    return plan;
}

} // namespace morvane::files
