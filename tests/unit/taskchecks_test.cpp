// The checks of torv.ini's [task N] sections: what is a check, which section
// guards which task, and a save that reads back the same.
#include "ports/Paths.h"
#include "settings/TaskChecks.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace torv {
namespace {

TEST(TaskChecks, WhatIsACheck)
{
    struct Case {
        std::string text;
        bool valid;
        CheckKind kind = CheckKind::Path;
        std::string target = {};
        std::string port = {};
    };
    const Case cases[] = {
        {"tcp:127.0.0.1:5432", true, CheckKind::Tcp, "127.0.0.1", "5432"},
        {"TCP:db.local:80", true, CheckKind::Tcp, "db.local", "80"},
        {"tcp:[::1]:5432", true, CheckKind::Tcp, "::1", "5432"},
        {"tcp:::1:5432", false},
        {"tcp:host:0", false},
        {"tcp:host:65536", false},
        {"tcp:host", false},
        {"tcp::80", false},
        {"http://127.0.0.1:8080/health", true, CheckKind::Http, "http://127.0.0.1:8080/health"},
        {"HTTPS://h/x#y", true, CheckKind::Http, "HTTPS://h/x#y"},
        {"http:///nohost", false},
        {"path:/mnt/backup", true, CheckKind::Path, "/mnt/backup"},
        {"process:postgres", true, CheckKind::Process, "postgres"},
        {"command:sh -c \"a; b\"", true, CheckKind::Command, "sh -c \"a; b\""},
        {"command:", false},
        {"ftp://h/", false},
        {"/mnt/backup", false},
        {std::string("path:/srv\0/x", 12), false}, // the system would check "/srv"
    };
    for (const auto& c : cases) {
        std::string why;
        const auto check = parseCheck(c.text, why);
        ASSERT_EQ(check.has_value(), c.valid) << c.text;
        if (!check) {
            EXPECT_FALSE(why.empty()) << c.text;
            continue;
        }
        EXPECT_EQ(check->kind, c.kind) << c.text;
        EXPECT_EQ(check->target, c.target) << c.text;
        EXPECT_EQ(check->port, c.port) << c.text;
        EXPECT_EQ(check->text, c.text);
    }
    std::string why;
    EXPECT_EQ(parseCheck("https://admin:s3cret@h:8443/x?q=a@b", why)->shown(), "https://admin:***@h:8443/x?q=a@b");
    EXPECT_EQ(parseCheck("http://user@h/", why)->shown(), "http://user@h/");
    EXPECT_EQ(parseCheck("http://h/a:b@c", why)->shown(), "http://h/a:b@c");

    // A relative path is the program folder's, never the working folder's.
    const std::string absolute = std::filesystem::temp_directory_path().string();
    const auto tried = withPathsIn("prog", {*parseCheck("path:up", why), *parseCheck("path:" + absolute, why)});
    EXPECT_EQ(tried[0].target + tried[1].target, inFolder("prog", "up") + absolute);
}

TEST(TaskChecks, SectionsGuardOnlyTheTaskTheyWereWrittenFor)
{
    TaskTable tasks;
    tasks.TaskLoc[1] = "/bin/db";
    tasks.TaskLoc[2] = "/bin/app";
    tasks.TaskLoc[3] = "/bin/web";
    OptionsFile file = parseOptions("[task 1]\n"
                                    "location = /bin/db\n"
                                    "before = path:/mnt\n"
                                    "ready = tcp:h:1\n"
                                    "ready = nonsense\n"
                                    "timeout = 2x\n"
                                    "on-timeout = STOP\n"
                                    "[task 2]\n"
                                    "location = /bin/db\n"
                                    "ready = tcp:h:2\n"
                                    "[task 3]\n"
                                    "ready = path:/x\n"
                                    "timeout = 0\n"
                                    "ca-file = /etc/ca.pem\n"
                                    "[task 4]\n"
                                    "ready = path:/y\n",
                                    {taskSectionRule()});
    const CheckTable table = readTaskChecks(file, tasks, 3);
    ASSERT_EQ(table.size(), 2u);
    const TaskChecks& db = table.at(1);
    EXPECT_EQ(db.before.size(), 1u);
    ASSERT_EQ(db.ready.size(), 1u);
    EXPECT_EQ(db.ready[0].port, "1");
    EXPECT_EQ(db.timeout, kDefaultCheckTimeout);
    EXPECT_EQ(db.onTimeout, OnTimeout::Stop);
    EXPECT_EQ(table.at(3).timeout, 0);
    EXPECT_EQ(table.at(3).caFile, "/etc/ca.pem");
    const auto problems = file.problemLines();
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].rfind("torv.ini line 5: ready = nonsense: not a check", 0), 0u);
    EXPECT_EQ(problems[1], "torv.ini line 6: timeout = 2x: expected seconds from 0 to 86400");
    EXPECT_EQ(problems[2], "torv.ini line 9: [task 2] was written for \"/bin/db\", but task 2 is \"/bin/app\"; "
                           "its checks are ignored");
    EXPECT_EQ(problems[3], "torv.ini line 15: [task 4]: config.ini has no task 4; its checks are ignored");

    // What a save writes reads back as the same checks, now guarded.
    const auto sections = taskCheckSections(table, tasks);
    OptionsFile again = parseOptions(rewriteOptions("", isTaskSection, sections), {taskSectionRule()});
    const CheckTable reread = readTaskChecks(again, tasks, 3);
    EXPECT_TRUE(again.problems.empty());
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread.at(1).location, "/bin/db");
    EXPECT_EQ(reread.at(1).ready[0].text, "tcp:h:1");
    EXPECT_EQ(reread.at(1).onTimeout, OnTimeout::Stop);
    EXPECT_EQ(reread.at(3).location, "/bin/web");
    EXPECT_EQ(reread.at(3).caFile, "/etc/ca.pem");
    EXPECT_EQ(reread.at(3).timeout, 0);
}

TEST(TaskChecks, KeepRunningKeysAndIntervalReadBackAndStayOutAtTheirDefaults)
{
    TaskTable tasks;
    tasks.TaskLoc[1] = "/bin/db";
    struct Case {
        std::string line;
        std::string problem;   // empty: read, and written back
        std::string written{}; // as this, when not as given
    };
    const Case cases[] = {
        {"restart = on-failure", ""},
        {"restart = ALWAYS", "", "restart = always"},
        {"restart = sometimes", "expected no, on-failure or always"},
        {"stop = on-exit", ""},
        {"stop = yes", "expected no or on-exit"},
        {"restart-delay = 0", ""},
        {"restart-delay = 3601", "expected a whole number from 0 to 3600"},
        {"restart-max-delay = 0", "expected a whole number from 1 to 3600"},
        {"restart-reset = 86400", ""},
        {"restart-limit = 1000", ""},
        {"restart-limit = -1", "expected a whole number from 0 to 1000"},
        {"stop-timeout = 600", ""},
        {"stop-timeout = 601", "expected a whole number from 1 to 600"},
        {"interval = 0.25", ""},
        {"interval = .5", "", "interval = 0.5"},
        {"interval = 60", ""},
        {"interval = 0.05", kIntervalRange},
        {"interval = 0,5", kIntervalRange}, // never the system's comma
        {"interval = 1e1", kIntervalRange},
    };
    for (const Case& c : cases) {
        const std::string text = "[task 1]\nlocation = /bin/db\n" + c.line + "\n";
        OptionsFile file = parseOptions(text, {taskSectionRule()});
        const CheckTable table = readTaskChecks(file, tasks, 1);
        const auto problems = file.problemLines();
        if (!c.problem.empty()) {
            ASSERT_EQ(problems.size(), 1u) << c.line;
            EXPECT_EQ(problems[0], "torv.ini line 3: " + c.line + ": " + c.problem);
            EXPECT_TRUE(table.at(1).unused()) << c.line; // the default stays
            continue;
        }
        EXPECT_TRUE(problems.empty()) << c.line;
        // A section with only this key counts and is written back with it.
        const auto sections = taskCheckSections(table, tasks);
        ASSERT_EQ(sections.size(), 1u) << c.line;
        ASSERT_EQ(sections[0].values.size(), 2u) << c.line;
        EXPECT_EQ(sections[0].values[1].first + " = " + sections[0].values[1].second,
                  c.written.empty() ? c.line : c.written);
    }

    // Every key at once: a fixed order after the existing keys; defaults stay out.
    const std::string all = "[task 1]\r\nlocation = /bin/db\r\nready = tcp:h:1\r\ninterval = 0.1\r\n"
                            "restart = always\r\nstop = on-exit\r\nrestart-delay = 2\r\nrestart-max-delay = 30\r\n"
                            "restart-reset = 5\r\nrestart-limit = 0\r\nstop-timeout = 3\r\n";
    OptionsFile file = parseOptions(all, {taskSectionRule()});
    const CheckTable table = readTaskChecks(file, tasks, 1);
    EXPECT_EQ(table.at(1).keep.restartLimit, 0);
    EXPECT_EQ(rewriteOptions(all, isTaskSection, taskCheckSections(table, tasks)), all);
    TaskChecks defaults = table.at(1);
    defaults.keep = KeepRunning{};
    defaults.interval = 0;
    EXPECT_EQ(taskCheckSections({{1, defaults}}, tasks)[0].values.size(), 2u);
}

} // namespace
} // namespace torv
