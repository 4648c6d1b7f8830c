// Command lines are split into words and run without a shell, so nothing in
// them but blanks and double quotes has a meaning.
#include "base/CommandLine.h"
#include "base/Failure.h"
#include "editor/EditorRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace torv {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, BlanksSeparateAndQuotesGroup)
{
    EXPECT_EQ(splitCommandLine("notepad.exe /tmp/a b"), (Words{"notepad.exe", "/tmp/a", "b"}));
    EXPECT_EQ(splitCommandLine("  run\t\targ  "), (Words{"run", "arg"}));
    EXPECT_EQ(splitCommandLine("\"/opt/my tool/run\" \"two words\" x"), (Words{"/opt/my tool/run", "two words", "x"}));
    EXPECT_EQ(splitCommandLine("pre\"fix and\"post next"), (Words{"prefix andpost", "next"}));
    EXPECT_EQ(splitCommandLine("a \"\" b"), (Words{"a", "", "b"}));
    EXPECT_EQ(splitCommandLine("\"\""), (Words{""}));
    EXPECT_EQ(splitCommandLine("a\r\nb"), (Words{"a", "b"}));
    EXPECT_EQ(splitCommandLine("\"tab\tinside\""), (Words{"tab\tinside"}));
    // A quote left open groups to the end.
    EXPECT_EQ(splitCommandLine("run \"open to the end"), (Words{"run", "open to the end"}));
    EXPECT_TRUE(splitCommandLine("").empty());
    EXPECT_TRUE(splitCommandLine(" \t ").empty());
}

TEST(CommandLine, ShellCharactersStayLiteral)
{
    EXPECT_EQ(splitCommandLine("a;touch x"), (Words{"a;touch", "x"}));
    EXPECT_EQ(splitCommandLine("ls | rm -rf /tmp/x && reboot"),
              (Words{"ls", "|", "rm", "-rf", "/tmp/x", "&&", "reboot"}));
    EXPECT_EQ(splitCommandLine("echo $(id) `id` $HOME ~ *.sh > out"),
              (Words{"echo", "$(id)", "`id`", "$HOME", "~", "*.sh", ">", "out"}));
    EXPECT_EQ(splitCommandLine("'single quotes' group nothing"), (Words{"'single", "quotes'", "group", "nothing"}));
    EXPECT_EQ(splitCommandLine("C:\\Program\\ Files\\x.exe"), (Words{"C:\\Program\\", "Files\\x.exe"}));
}

TEST(CommandLine, EveryPickedPathIsOneWordWhateverCharacterItHolds)
{
    // The picker quotes a path; the splitter must give it back whole, for
    // every character a file name may hold (a double quote cannot be quoted
    // and is refused). Blanks and line breaks are where a mismatch would show.
    for (int c = 1; c < 256; ++c) {
        if (c == '"')
            continue;
        const std::string ch(1, static_cast<char>(c));
        for (const std::string& path : {"/opt/a" + ch + "b/run", ch + "/lead", "/trail" + ch, ch}) {
            auto line = commandLineForPath(path);
            ASSERT_TRUE(line) << "character " << c;
            EXPECT_EQ(splitCommandLine(*line), (Words{path})) << "character " << c;
            EXPECT_EQ(splitCommandLine(*line + " --arg"), (Words{path, "--arg"})) << "character " << c;
        }
    }
    EXPECT_FALSE(commandLineForPath("/a\"b"));
}

TEST(CommandLine, ANulByteAnywhereRefusesTheWholeLine)
{
    for (const std::string& line : {std::string("run\0 x", 6), std::string("run \"a\0b\"", 9), std::string(1, '\0')}) {
        try {
            splitCommandLine(line);
            ADD_FAILURE() << "split " << testing::PrintToString(line);
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), "5 Invalid procedure call or argument");
        }
    }
}

} // namespace
} // namespace torv
