// The configuration tools: config.ini and torv.ini as JSON and back.
#include "ports/Files.h"
#include "settings/ConfigJson.h"
#include "settings/OptionsRules.h"
#include "settings/TaskChecks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace torv {
namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

// The tasks' rule, a stand-in for any other section, with a key that repeats, and one judged on reading.
const std::vector<OptionsSectionRule> kRules{
    taskSectionRule(), {"notes", {{"command"}, {"events", true}}}, alertSectionRule()};
// A command that is not UTF-8: Latin-1 as many old files hold.
const char* const kLatin1 =
    "NORM\r\n/x\r\n\r\n30\r\n10\r\nREMOTEON\r\nSOUNDON\r\nCOMMENTSOFF\r\nCafe\r\n/opt/caf\xe9/run\r\n";
// Windows reads it in the ANSI code page, and so carries it exactly; elsewhere it stays bytes.
const bool kLatin1IsText = isValidUtf8(decodeFileText(kLatin1));

const char* const kConfig = "NORM\r\n/srv/x\r\n\r\n5x\r\n10\r\nREMOTEON\r\nSOUNDOFF\r\nCOMMENTSOFF\r\n"
                            "\"Web, front\"\r\n\"nginx -g \"\"daemon off;\"\"\"\r\nApp\r\n/opt/app/run\r\n";
const char* const kOptions = "; kept\r\n[task 1]\r\nlocation = nginx -g \"daemon off;\"\r\ninterval = 0.5\r\n"
                             "restart = on-failure\r\nstop = on-exit\r\nrestart-limit = 0\r\n"
                             "[task 2]\r\nlocation = /opt/app/run\r\nbefore = tcp:db:5432\r\n"
                             "ready = http://u:pw@h/up\r\ntimeout = 30\r\non-timeout = skip\r\n\r\n"
                             "[notes]\r\ncommand = mail root\r\nevents = stop\r\nevents = launch\r\n";

struct Folder {
    sim::TempDir dir;
    ConfigToolResult check() const { return checkConfig(dir.file("config.ini"), dir.file("torv.ini"), kRules); }
    ConfigToolResult write(const std::string& json) const
    {
        return writeConfig(dir.file("config.ini"), dir.file("torv.ini"), json, kRules);
    }
    // Every name and its bytes: what "nothing was written" compares.
    std::string snapshot() const
    {
        std::string out;
        for (const auto& name : sim::listing(dir.path()))
            out += name + ":" + dir.read(name) + "|";
        return out;
    }
};

Json withoutWarnings(const std::string& text)
{
    Json json = Json::parse(text);
    json.erase("warnings");
    return json;
}

TEST(ConfigJson, CheckGivesStatusAndWritesNothing)
{
    struct Case {
        const char* config; // nullptr: no config.ini
        const char* options;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {nullptr, nullptr, 2, "53 File not found"},
        {"NORM\r\n/x\r\n", nullptr, 3, "62 Input past end of file"}, // start-up would replace it; a check does not
        {"NORM\r\n/x\r\n\r\n99999\r\n10\r\nREMOTEON\r\nSOUNDON\r\nCOMMENTSOFF\r\n", nullptr, 3, "6 Overflow"},
        {kConfig, kOptions, 0, ""},
        {kConfig, "[task 1]\r\nbefore = ftp:x\r\n[nosuch]\r\n", 4, ""},
        {kLatin1, "[task 1]\r\nready = path:/caf\xe9\r\n", kLatin1IsText ? 0 : 4, ""}, // shown as U+FFFD: said so
    };
    for (const auto& c : cases) {
        Folder f;
        if (c.config)
            f.dir.write("config.ini", c.config);
        if (c.options)
            f.dir.write("torv.ini", c.options);
        const std::string before = f.snapshot();
        const ConfigToolResult r = f.check();
        EXPECT_EQ(r.status, c.status) << (c.config ? c.config : "(none)");
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out.empty(), c.status == 2 || c.status == 3);
        EXPECT_EQ(f.snapshot(), before);
        if (c.status == 4) {
            EXPECT_EQ(Json::parse(r.out)["warnings"].size(), 2u) << r.out;
        }
    }
    // The features' own values are judged as start-up judges them.
    Folder f;
    f.dir.write("config.ini", kConfig);
    f.dir.write("torv.ini", "[alert]\r\ncommand = /bin/true\r\nevents = failure, bogus\r\n[ip]\r\nevery = 5000\r\n");
    const ConfigToolResult r = checkConfig(f.dir.file("config.ini"), f.dir.file("torv.ini"), knownOptionsRules());
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(Json::parse(r.out)["warnings"],
              Json::parse(R"(["torv.ini line 3: events = failure, bogus: \"bogus\" is no event word; it is ignored",
                              "torv.ini line 5: every = 5000: expected minutes from 1 to 1440"])"));
}

TEST(ConfigJson, CheckPrintsTheDocumentedShape)
{
    Folder f;
    f.dir.write("config.ini", kConfig);
    f.dir.write("torv.ini", kOptions);
    const Json expected = Json::parse(R"({
      "settings": {"LaunchOpt": "NORM", "ExchangeDir": "/srv/x", "UserCmd": "", "InitTime": "5x",
                   "CheckTime": "10", "RemoteOpt": "REMOTEON", "Sounds": "SOUNDOFF", "UserComment": "COMMENTSOFF"},
      "tasks": [
        {"description": "Web, front", "command": "nginx -g \"daemon off;\"",
         "checks": {"before": [], "ready": [], "timeout": 60, "on-timeout": "continue", "ca-file": "",
                    "interval": 0.5, "restart": "on-failure", "stop": "on-exit", "restart-delay": 1,
                    "restart-max-delay": 60, "restart-reset": 60, "restart-limit": 0, "stop-timeout": 10}},
        {"description": "App", "command": "/opt/app/run",
         "checks": {"before": ["tcp:db:5432"], "ready": ["http://u:pw@h/up"], "timeout": 30,
                    "on-timeout": "skip", "ca-file": "", "interval": 0, "restart": "no", "stop": "no",
                    "restart-delay": 1, "restart-max-delay": 60, "restart-reset": 60, "restart-limit": 5,
                    "stop-timeout": 10}}],
      "sections": {"notes": {"command": "mail root", "events": ["stop", "launch"]}},
      "warnings": []
    })");
    EXPECT_EQ(Json::parse(f.check().out), expected);
    // One config.ini file, as a validation step passes it: no torv.ini.
    const ConfigToolResult single = checkConfig(f.dir.file("config.ini"), "", kRules);
    EXPECT_EQ(single.status, 0);
    EXPECT_FALSE(Json::parse(single.out)["tasks"][1].contains("checks"));
}

// What --check-config reads, --write-config writes back so that a second
// check reads the same; writing it again changes no byte and no time.
// Returns whether the settings were carried over (not damaged, not refused).
bool expectRoundTrip(const std::string& config, const std::string& options, const std::string& name)
{
    Folder from, to;
    from.dir.write("config.ini", config);
    if (!options.empty())
        from.dir.write("torv.ini", options);
    const ConfigToolResult read = from.check();
    if (read.status != 0 && read.status != 4)
        return false; // damaged: nothing to carry over
    const ConfigToolResult written = to.write(read.out);
    if (written.status == 1) {
        // Refused (a word the editor never writes): nothing written.
        EXPECT_TRUE(sim::listing(to.dir.path()).empty()) << name;
        return false;
    }
    EXPECT_EQ(written.out, "changed\n") << name << written.err;
    EXPECT_EQ(withoutWarnings(to.check().out), withoutWarnings(read.out)) << name;

    // Read the time back: some file systems keep it only to the second.
    fs::last_write_time(to.dir.file("config.ini"), fs::file_time_type::clock::now() - std::chrono::hours(24));
    const auto old = fs::last_write_time(to.dir.file("config.ini"));
    EXPECT_EQ(to.write(to.check().out).out, "unchanged\n") << name;
    EXPECT_EQ(fs::last_write_time(to.dir.file("config.ini")), old) << name;
    return true;
}

TEST(ConfigJson, WriteThenCheckRoundTrips)
{
    EXPECT_TRUE(expectRoundTrip(kConfig, kOptions, "fixture"));
    EXPECT_EQ(expectRoundTrip(kLatin1, "", "Latin-1"), kLatin1IsText); // or refused, never written as U+FFFD
    const fs::path corpus = TORV_FUZZ_CORPUS;
    if (!fs::exists(corpus))
        GTEST_SKIP() << "no fuzz corpus at " << corpus;
    int files = 0, carried = 0;
    for (const char* set : {"config_read", "settings_roundtrip"})
        for (const auto& entry : fs::directory_iterator(corpus / set)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            carried += expectRoundTrip(bytes, "", entry.path().filename().string());
            ++files;
        }
    EXPECT_GT(files, 3);
    EXPECT_GE(carried, 1); // not every file damaged or refused
}

TEST(ConfigJson, RefusedValueWritesNothing)
{
    const Json good = Json::parse(R"({
      "settings": {"LaunchOpt": "MIN", "ExchangeDir": "C:\\x", "UserCmd": "", "InitTime": "30",
                   "CheckTime": "10", "RemoteOpt": "REMOTEON", "Sounds": "SOUNDON", "UserComment": "COMMENTSOFF"},
      "tasks": [{"description": "a", "command": "b", "checks": {"ready": ["path:/tmp/x"]}}],
      "sections": {"notes": {"command": "mail", "events": ["stop"]}}
    })");
    struct Case {
        const char* pointer; // where the good input is spoiled
        Json value;
        const char* why;
    };
    Json tooMany = Json::array();
    for (int i = 0; i < 101; ++i)
        tooMany.push_back({{"command", "x"}});
    const Case cases[] = {
        {"/settings/LaunchOpt", "FAST", "LaunchOpt = \"FAST\""},
        {"/settings/InitTime", "70000", "InitTime"},
        {"/settings/RemoteOpt", "remoteon", "RemoteOpt"},
        {"/settings/Sounds", 1, "expected a text"},
        {"/tasks/0/command", "", "a task needs a command"},
        {"/tasks", tooMany, "at most 100"},
        {"/tasks/0/checks/ready/0", "ftp:x", "not a check"},
        {"/tasks/0/checks/ready/0", "path:/x ", "cannot hold"},
        {"/tasks/0/checks/timeout", -1, "from 0 to 86400"},
        {"/tasks/0/checks/on-timeout", "later", "continue, skip or stop"},
        {"/tasks/0/checks/restart", "On-Failure", "expected no, on-failure or always"},
        {"/tasks/0/checks/stop", true, "checks.stop: expected a text"},
        {"/tasks/0/checks/restart-max-delay", 0, "restart-max-delay: expected a whole number from 1 to 3600"},
        {"/tasks/0/checks/stop-timeout", 2.5, "stop-timeout: expected a whole number from 1 to 600"},
        {"/tasks/0/checks/interval", 0.05, "interval: expected seconds from 0.1 to 60"},
        {"/tasks/0/checks/interval", "1", "interval: expected seconds"},
        {"/sections/nosuch", Json::object(), "unknown section \"nosuch\""},
        {"/sections/notes/colour", "red", "unknown key \"colour\""},
        {"/sections/notes/command", Json::array({"a", "b"}), "expected a text"},
        {"/sections/notes/command", "two\nlines", "cannot hold"},
        {"/extra", true, "unknown key \"extra\""},
        // what start-up would report and ignore is refused, not written
        {"/sections/alert", {{"command", "page"}, {"events", "stop"}}, "[alert] events = stop: \"stop\" is no event"},
        {"/sections/alert", {{"events", "all"}}, "[alert] has no command"},
        {"/tasks/0/command", std::string("/srv\0/x", 7), "task 1.command: a NUL"},
        {"/tasks/0/checks/ready/0", std::string("path:/srv\0/x", 12), "a NUL"},
        {"/tasks/0/description", "caf\xEF\xBF\xBD", "U+FFFD stands for bytes that were not UTF-8"},
    };
    Folder f;
    ASSERT_EQ(f.write(good.dump()).status, 0);
    const std::string before = f.snapshot();
    for (const auto& c : cases) {
        Json spoiled = good;
        spoiled[Json::json_pointer(c.pointer)] = c.value;
        const ConfigToolResult r = f.write(spoiled.dump());
        EXPECT_EQ(r.status, 1) << c.pointer;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << c.pointer << ": " << r.err;
        EXPECT_EQ(f.snapshot(), before) << c.pointer;
    }
    EXPECT_EQ(f.write("{\"settings\": ").status, 1);
    EXPECT_EQ(f.write(good.dump() + std::string(kConfigJsonLimit, ' ')).err,
              "torv: the JSON is larger than 4 MiB\nNothing was written.\n");
    EXPECT_EQ(f.snapshot(), before);
    // torv.ini is read before config.ini is written: one too large leaves no config.ini behind.
    f.dir.write("torv.ini", std::string(kOptionsReadLimit + 1, ';'));
    fs::remove(f.dir.file("config.ini"));
    const std::string large = f.snapshot();
    EXPECT_EQ(f.write(good.dump()).status, 1);
    EXPECT_EQ(f.snapshot(), large);
}

// Every JSON example of the documentation is one the program accepts and
// prints back; every code fence closes (one left open turns the rest into code).
TEST(ConfigJson, TheDocsExamplesAreAcceptedAndTheirFencesClose)
{
    std::vector<std::string> examples;
    for (const auto& page : fs::directory_iterator(fs::path(TORV_DOCS))) {
        std::ifstream in(page.path());
        std::string line, *json = nullptr;
        int open = 0; // the line of the fence that opened the block
        for (int n = 1; page.path().extension() == ".md" && std::getline(in, line); ++n) {
            const std::string fence = line.substr(std::min(line.find_first_not_of(' '), line.size()));
            if (fence.rfind("```", 0) != 0) {
                if (json)
                    *json += line + "\n";
            } else if (open) {
                EXPECT_EQ(fence, "```") << page.path() << ":" << n << " opens inside the block of line " << open;
                open = 0, json = nullptr;
            } else {
                open = n, json = fence == "```json" ? &examples.emplace_back() : nullptr;
            }
        }
        EXPECT_EQ(open, 0) << page.path() << ": the block of line " << open << " never closes";
    }
    ASSERT_FALSE(examples.empty());
    const auto rules = knownOptionsRules();
    for (const std::string& example : examples) {
        Folder f;
        EXPECT_EQ(writeConfig(f.dir.file("config.ini"), f.dir.file("torv.ini"), example, rules).err, "");
        const ConfigToolResult back = checkConfig(f.dir.file("config.ini"), f.dir.file("torv.ini"), rules);
        EXPECT_EQ(Json::parse(back.out), Json::parse(example)) << back.status;
    }
}

} // namespace
} // namespace torv
