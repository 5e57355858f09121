// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/commandsplit.h"

#include <gtest/gtest.h>

using morvane::tools::quoteWord;
using morvane::tools::splitCommand;
using morvane::tools::toolArguments;
using Words = std::vector<std::string>;

TEST(CommandSplitTest, SplitsLikeAShellWithoutExpanding)
{
    struct Case
    {
        const char *name;
        const char *text;
        std::optional<Words> words;
    };
    const Case cases[] = {
        {"empty", "", Words {}},
        {"blanks only", " \t ", Words {}},
        {"program and switch", "/usr/bin/gimp -n", Words {"/usr/bin/gimp", "-n"}},
        {"runs of blanks", "  a \t b  ", Words {"a", "b"}},
        {"line ends separate words", "run\na\r\nb", Words {"run", "a", "b"}},
        {"double quotes keep blanks",
            R"("/opt/my tools/run" -x)",
            Words {"/opt/my tools/run", "-x"}},
        {"single quotes keep everything", R"('a "b" \n $x')", Words {R"(a "b" \n $x)"}},
        {"escapes inside double quotes", R"("\"\\\$\`\n")", Words {R"("\$`\n)"}},
        {"backslash outside quotes", R"(my\ tool \'q\')", Words {"my tool", "'q'"}},
        {"trailing backslash stays", R"(run a\)", Words {"run", R"(a\)"}},
        {"pieces join into one word", R"(a"b c"'d e'f)", Words {"ab cd ef"}},
        {"empty quotes are a word", R"(run "" '')", Words {"run", "", ""}},
        {"shell syntax is plain text",
            "run $(rm x);* ~ |&",
            Words {"run", "$(rm", "x);*", "~", "|&"}},
        {"UTF-8 stays whole", "ツール 画像", Words {"ツール", "画像"}},
        {"open double quote", R"(run "a)", std::nullopt},
        {"open single quote", "run 'a", std::nullopt},
        {"escaped closing quote leaves it open", R"(run "a\")", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(splitCommand(c.text), c.words);
    }
}

TEST(CommandSplitTest, QuotedWordReadsBackWhole)
{
    const char *const words[] = {"/usr/bin/gimp",
        "/opt/my tools/run",
        "it's",
        R"(say "hi")",
        R"(C:\x)",
        "",
        "''",
        "tab\there",
        "line\nbreak",
        "$(rm -rf ~);",
        "/日本 語/ツール"};
    for (const char *w : words) {
        SCOPED_TRACE(w);
        const std::string quoted = quoteWord(w);
        EXPECT_EQ(splitCommand(quoted), Words {w});
        EXPECT_EQ(splitCommand(quoted + " -x"), (Words {w, "-x"}));
    }
    EXPECT_EQ(quoteWord("/usr/bin/gimp"), "/usr/bin/gimp"); // left as the user would write it
}

TEST(CommandSplitTest, FileIsAppendedAsOneWord)
{
    const std::string file = "/p/a b \"c\" 'd' $(e);\n\xff.jpg";
    EXPECT_EQ(toolArguments(R"("/opt/t t/run" -a)", file), (Words {"/opt/t t/run", "-a", file}));
    EXPECT_EQ(toolArguments("", file), std::nullopt);
    EXPECT_EQ(toolArguments("  ", file), std::nullopt);
    EXPECT_EQ(toolArguments("run 'x", file), std::nullopt);
    EXPECT_EQ(toolArguments("''", file), (Words {"", file}));
}
