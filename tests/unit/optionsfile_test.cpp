// torv.ini's one reader and writer, apart from any feature that uses them.
#include "base/Failure.h"
#include "settings/OptionsFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace torv {
namespace {

using namespace std::string_view_literals;

const std::vector<OptionsSectionRule> kRules{
    {"task", {{"location"}, {"before", true}, {"ready", true}, {"timeout"}}, 100},
    {"alert", {{"command"}, {"events"}}},
};

std::string values(const OptionsFile& f)
{
    std::string out;
    for (const auto& s : f.sections) {
        out += "[" + s.name + "]";
        for (const auto& v : s.values)
            out += v.key + "=" + v.value + ";";
    }
    return out;
}

TEST(OptionsFile, ReadsTheGrammar)
{
    struct Case {
        std::string_view text;
        const char* values;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        // comments only on lines of their own: ';' and '#' inside a value stay
        {"; c\r\n  # c\r\n[Task 2]\r\nReady = command:sh -c \"a; b\"\r\nready=http://h/x#y\r\n\r\n", //
         "[task 2]ready=command:sh -c \"a; b\";ready=http://h/x#y;",
         {}},
        {"[ ALERT ]\n  command  =  /bin/page me  \nevents=\n", "[alert]command=/bin/page me;events=;", {}},
        // a repeat where the section does not allow it: the last one counts
        {"[alert]\ncommand=a\ncommand=b\n",
         "[alert]command=a;command=b;",
         {"torv.ini line 3: \"command\" given again in [alert]; the last one counts"}},
        // unknown section: reported once, its lines ignored without more reports
        {"[ip-v9]\nurl=x\njunk\n[alert]\nevents=all\n",
         "[alert]events=all;",
         {"torv.ini line 1: unknown section [ip-v9]"}},
        {"[task 0]\n[task 101]\n[task 7x]\n",
         "",
         {"torv.ini line 1: unknown section [task 0]", "torv.ini line 2: unknown section [task 101]",
          "torv.ini line 3: unknown section [task 7x]"}},
        {"command=x\n[alert\n[alert]\nbogus=1\nno equals\n",
         "[alert]",
         {"torv.ini line 1: \"command\" stands before any section",
          "torv.ini line 2: a section name must end with ']': [alert",
          "torv.ini line 4: unknown key \"bogus\" in [alert]",
          "torv.ini line 5: not a setting (name = value): no equals"}},
        // "task 01" is not "task 1"; a NUL hides what follows it; a header with one ends the section above
        {"[task 01]\nready=a\n[task 1]\nready=b\nready=path:/srv\0/x\n[al\0ert]\nevents=all\n"sv,
         "[task 1]ready=b;",
         {"torv.ini line 1: [task 01]: no leading zero in a task number",
          "torv.ini line 5: a NUL byte; the line is ignored", "torv.ini line 6: a NUL byte; the line is ignored"}},
        {"[alert]\ncommand=a\n[task 1]\n[Alert]\nevents=all\n",
         "[alert]command=a;events=all;[task 1]",
         {"torv.ini line 4: section [alert] given again; its values join the first"}},
    };
    for (const auto& c : cases) {
        const OptionsFile f = parseOptions(std::string(c.text), kRules);
        EXPECT_EQ(values(f), c.values) << c.text;
        EXPECT_EQ(f.problemLines(), c.problems) << c.text;
    }
    const OptionsFile f = parseOptions("[task 3]\nready=a\nready=b\ntimeout=5\ntimeout=9\n[task 12]\n", kRules);
    ASSERT_EQ(f.numbered("task").size(), 2u);
    EXPECT_EQ(f.numbered("task")[1]->number, 12);
    EXPECT_EQ(f.find("task 3")->all("ready").size(), 2u);
    EXPECT_EQ(f.find("task 3")->last("timeout")->value, "9");
    EXPECT_EQ(f.find("task 3")->last("timeout")->line, 5);
}

TEST(OptionsFile, RewriteKeepsEveryOtherLine)
{
    const std::string before = "; my checks\r\n"
                               "[task 1]\r\n"
                               "ready = tcp:h:1\r\n"
                               "\r\n"
                               "; the alert, by hand\r\n"
                               "[alert]\r\n"
                               "command = page\r\n"
                               "[task 2]\r\n"
                               "; kept with task 2? no: inside it\r\n"
                               "ready = path:/x\r\n"
                               "# the end\r\n";
    auto tasks = [](const std::string& name) { return name.rfind("task ", 0) == 0; };
    EXPECT_EQ(rewriteOptions(before, tasks, {{"task 1", {{"location", "/bin/db"}, {"ready", "tcp:h:2"}}}}),
              "; my checks\r\n[task 1]\r\nlocation = /bin/db\r\nready = tcp:h:2\r\n\r\n"
              "; the alert, by hand\r\n[alert]\r\ncommand = page\r\n# the end\r\n");
    // Nothing left of ours: the rest stays byte for byte; an LF file stays LF.
    EXPECT_EQ(rewriteOptions("; a\n[alert]\nevents = all\n[task 4]\nready=x\n", tasks, {}),
              "; a\n[alert]\nevents = all\n");
    EXPECT_EQ(rewriteOptions("[alert]\nevents=all", tasks, {{"task 1", {{"ready", "x"}}}}),
              "[alert]\nevents=all\n\n[task 1]\nready = x\n");
    EXPECT_EQ(rewriteOptions("", tasks, {{"task 1", {}}, {"task 2", {}}}), "[task 1]\r\n\r\n[task 2]\r\n");
    // Saving what a save wrote gives the same bytes: the blank line between
    // two sections is not kept beside the block's own.
    EXPECT_EQ(rewriteOptions("[task 1]\r\n\r\n[task 2]\r\n", tasks, {{"task 1", {}}, {"task 2", {}}}),
              "[task 1]\r\n\r\n[task 2]\r\n");
    for (const std::string bad : {" lead", "trail ", "two\nlines", "cr\r"}) {
        EXPECT_FALSE(optionsCanHold(bad));
        EXPECT_THROW(rewriteOptions("", tasks, {{"task 1", {{"ready", bad}}}}), Failure) << bad;
    }
}

TEST(OptionsFile, SaveNeverCreatesForNothingAndLeavesUnchangedFilesAlone)
{
    sim::TempDir dir;
    const std::string path = dir.file("torv.ini");
    auto alerts = [](const std::string& name) { return name == "alert"; };
    EXPECT_FALSE(saveOptions(path, alerts, {}));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(readOptions(path, kRules).present);

    EXPECT_TRUE(saveOptions(path, alerts, {{"alert", {{"command", "/bin/page"}}}}));
    const auto stamp = std::filesystem::last_write_time(path);
    EXPECT_FALSE(saveOptions(path, alerts, {{"alert", {{"command", "/bin/page"}}}}));
    EXPECT_EQ(std::filesystem::last_write_time(path), stamp);
    const OptionsFile read = readOptions(path, kRules);
    EXPECT_TRUE(read.present);
    EXPECT_EQ(values(read), "[alert]command=/bin/page;");

    // A file that cannot be read is one problem, never a failure of its reader.
    std::filesystem::create_directory(dir.path() + "/folder.ini");
    const OptionsFile unreadable = readOptions(dir.path() + "/folder.ini", kRules);
    EXPECT_TRUE(unreadable.sections.empty());
    ASSERT_EQ(unreadable.problemLines().size(), 1u);
    EXPECT_EQ(unreadable.problemLines()[0],
              "torv.ini: cannot be read (75 Path/File access error); its settings are ignored");
    EXPECT_THROW(saveOptions(dir.path() + "/folder.ini", alerts, {}), Failure);
}

} // namespace
} // namespace torv
