// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/runplan.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

using namespace morvane::files;

namespace {

using Folder = std::map<std::string, std::string>; // name → content

// Carries the plan out on a folder model, failing on a step whose source is gone or whose
// target is taken: the file system would refuse it (or the run would replace a file).
::testing::AssertionResult carryOut(Folder &folder, const RunPlan &plan)
{
    for (const RunStep &s : plan.steps) {
        const auto from = folder.find(s.from);
        if (from == folder.end())
            return ::testing::AssertionFailure() << "no file " << s.from;
        if (folder.count(s.to) != 0)
            return ::testing::AssertionFailure() << s.from << " onto existing " << s.to;
        const std::string content = from->second;
        folder.erase(from);
        folder[s.to] = content;
    }
    return ::testing::AssertionSuccess();
}

Folder numbered(int first, int last)
{
    Folder f;
    for (int i = first; i <= last; ++i)
        f["file" + std::to_string(i)] = "c" + std::to_string(i);
    return f;
}

TEST(RunPlanTest, RunsEndWithEveryFileUnderItsNewOrOldName)
{
    using V = RunVerdict;
    struct Case
    {
        const char *name;
        Folder before;
        std::vector<std::pair<std::string, std::string>> renames; // from, to
        Folder after;
        std::vector<RunVerdict> verdicts;
    };
    std::vector<std::pair<std::string, std::string>> renumber;
    Folder renumbered;
    for (int i = 4; i <= 13; ++i) {
        renumber.push_back({"file" + std::to_string(i), "file" + std::to_string(i - 3)});
        renumbered["file" + std::to_string(i - 3)] = "c" + std::to_string(i);
    }
    const Case cases[] = {
        {"chain",
            {{"A", "a"}, {"B", "b"}},
            {{"A", "B"}, {"B", "C"}},
            {{"B", "a"}, {"C", "b"}},
            {V::Renamed, V::Renamed}},
        {"swap",
            {{"A", "a"}, {"B", "b"}},
            {{"A", "B"}, {"B", "A"}},
            {{"A", "b"}, {"B", "a"}},
            {V::Renamed, V::Renamed}},
        {"renumber down", numbered(4, 13), renumber, renumbered, std::vector<V>(10, V::Renamed)},
        {"3-cycle",
            {{"A", "a"}, {"B", "b"}, {"C", "c"}},
            {{"A", "B"}, {"B", "C"}, {"C", "A"}},
            {{"A", "c"}, {"B", "a"}, {"C", "b"}},
            {V::Renamed, V::Renamed, V::Renamed}},
        {"refusal cascades along a chain",
            {{"A", "a"}, {"B", "b"}, {"X", "x"}, {"C", "c"}},
            {{"A", "B"}, {"B", "X"}, {"C", "D"}},
            {{"A", "a"}, {"B", "b"}, {"X", "x"}, {"D", "c"}},
            {V::Occupied, V::Occupied, V::Renamed}},
        {"two files, one new name",
            {{"A", "a"}, {"B", "b"}},
            {{"A", "Z"}, {"B", "Z"}},
            {{"Z", "a"}, {"B", "b"}},
            {V::Renamed, V::SameTarget}},
        {"a name listed twice: the later entry is refused",
            {{"A", "a"}, {"B", "b"}},
            {{"A", "B"}, {"B", "C"}, {"A", "D"}},
            {{"B", "a"}, {"C", "b"}},
            {V::Renamed, V::Renamed, V::Occupied}},
        {"unchanged name and a cycle beside a chain",
            {{"A", "a"}, {"B", "b"}, {"K", "k"}, {"P", "p"}},
            {{"K", "K"}, {"A", "B"}, {"B", "A"}, {"P", "A2"}},
            {{"A", "b"}, {"B", "a"}, {"K", "k"}, {"A2", "p"}},
            {V::Unchanged, V::Renamed, V::Renamed, V::Renamed}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::set<std::string> names;
        for (const auto &[name, content] : c.before)
            names.insert(name);
        std::vector<RunItem> items;
        for (const auto &[from, to] : c.renames)
            items.push_back({from, to, runTemporaryName("t", items.size())});
        const RunPlan plan = planRun(items, names);
        EXPECT_EQ(plan.verdicts, c.verdicts);
        Folder folder = c.before;
        ASSERT_TRUE(carryOut(folder, plan));
        EXPECT_EQ(folder, c.after);
    }
}

TEST(RunPlanTest, TemporaryNamesOnlyWhereACycleNeedsThem)
{
    const std::set<std::string> names {"A", "B", "C"};
    const RunPlan chain = planRun({{"A", "B", "T0"}, {"B", "C", "T1"}}, {"A", "B"});
    EXPECT_EQ(chain.steps.size(), 2u);
    const RunPlan cycle = planRun({{"A", "B", "T0"}, {"B", "C", "T1"}, {"C", "A", "T2"}}, names);
    ASSERT_EQ(cycle.steps.size(), 4u);
    EXPECT_EQ(cycle.steps.front().to, "T0");
    EXPECT_EQ(cycle.steps.back().from, "T0");
}

} // namespace
