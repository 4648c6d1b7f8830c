// config.ini: reading, the editor's save, the default file and the atomic write.
#include "base/Failure.h"
#include "ports/Files.h"
#include "settings/ConfigFile.h"
#include "support/Failures.h"
#include "support/FileTricks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace torv {
namespace {

namespace fs = std::filesystem;
using sim::listing;
using sim::TempDir;

struct Read {
    SettingsRecord s;
    TaskTable t;
    int16 total = -1;
    int code = 0; // the failure's code, 0 for none
};

Read parse(const std::string& text, Read r = {})
{
    r.code = sim::failureCodeOf([&] { parseConfig(text, r.s, r.t, r.total); });
    return r;
}

Read readFile(const std::string& path, Read r = {})
{
    r.code = sim::failureCodeOf([&] { readConfig(path, r.s, r.t, r.total); });
    return r;
}

std::string joined(const std::vector<std::string>& values, const std::string& end = "\r\n")
{
    std::string out;
    for (const std::string& v : values)
        out += v + end;
    return out;
}

const std::vector<std::string> kEight = {"NORM", "/srv/exchange", "run.sh --all", "12",
                                         "7",    "REMOTEOFF",     "SOUNDOFF",     "COMMENTSON"};

std::vector<std::string> eightPlus(std::vector<std::string> tail)
{
    std::vector<std::string> v = kEight;
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

void expectEight(const Read& r)
{
    EXPECT_EQ(r.s.LaunchOpt, "NORM");
    EXPECT_EQ(r.s.ExchangeDir, "/srv/exchange");
    EXPECT_EQ(r.s.UserCmd, "run.sh --all");
    EXPECT_EQ(r.s.InitTime, 12);
    EXPECT_EQ(r.s.CheckTime, 7);
    EXPECT_EQ(r.s.RemoteOpt, "REMOTEOFF");
    EXPECT_EQ(r.s.Sounds, "SOUNDOFF");
    EXPECT_EQ(r.s.UserComment, "COMMENTSON");
}

TEST(SettingsRead, DefaultFileReadsAsItsTenValues)
{
    const std::string text = defaultConfigText();
    // Ten plain lines, each ended by CR LF, that a hand editor sees as they are.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 10);
    EXPECT_EQ(text.find_first_of("\","), std::string::npos);
    EXPECT_NE(text.size(), 0u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    Read r = parse(text);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.s.LaunchOpt, "NORM");
    EXPECT_EQ(r.s.ExchangeDir, "C:\\wwwroot\\Iserver");
    EXPECT_EQ(r.s.UserCmd, "c:\\windows\\mscalc.exe");
    EXPECT_EQ(r.s.InitTime, 30);
    EXPECT_EQ(r.s.CheckTime, 10);
    EXPECT_EQ(r.s.RemoteOpt, "REMOTEON");
    EXPECT_EQ(r.s.Sounds, "SOUNDON");
    EXPECT_EQ(r.s.UserComment, "COMMENTSOFF");
    EXPECT_EQ(r.total, 1);
    EXPECT_EQ(r.t.TaskDesc[1], "Running Notepad");
    EXPECT_EQ(r.t.TaskLoc[1], "notepad.exe");
}

TEST(SettingsRead, EightLinesAreNoTasksAndNineLinesEndInsideAPair)
{
    Read eight = parse(joined(kEight));
    EXPECT_EQ(eight.code, 0);
    EXPECT_EQ(eight.total, 0);
    expectEight(eight);

    // The last value may lack its line end.
    Read unterminated = parse(joined(kEight).substr(0, joined(kEight).size() - 2));
    EXPECT_EQ(unterminated.code, 0);
    EXPECT_EQ(unterminated.s.UserComment, "COMMENTSON");

    Read nine = parse(joined(eightPlus({"a description without a location"})));
    EXPECT_EQ(nine.code, 62);
    // What was read before the failure stays read.
    expectEight(nine);
    EXPECT_EQ(nine.t.TaskDesc[1], "a description without a location");
}

TEST(SettingsRead, BlankLinesAtTheEndAreNotATask)
{
    // What many editors leave after the last line; none of it is a description.
    for (const std::string tail : {"\r\n", "\r\n\r\n", "\n\n", "\r", " \t\r\n  "}) {
        SCOPED_TRACE(testing::PrintToString(tail));
        Read tasks = parse(joined(eightPlus({"a", "/bin/a"})) + tail);
        EXPECT_EQ(tasks.code, 0);
        EXPECT_EQ(tasks.total, 1);
        EXPECT_EQ(tasks.t.TaskLoc[1], "/bin/a");
        Read none = parse(joined(kEight) + tail);
        EXPECT_EQ(none.code, 0);
        EXPECT_EQ(none.total, 0);
    }
    // Only where a description would begin: a blank line due as a location is
    // an empty location, and a location missing at the end is still 62.
    EXPECT_EQ(parse(joined(eightPlus({"a", "/bin/a", "lonely"})) + "\r\n\r\n").total, 2);
    EXPECT_EQ(parse(joined(eightPlus({"a", "/bin/a", "lonely"}))).code, 62);
    // A blank line with a task after it is an empty description.
    Read emptyFirst = parse(joined(eightPlus({"", "/bin/b"})) + "\r\n");
    EXPECT_EQ(emptyFirst.total, 1);
    EXPECT_EQ(emptyFirst.t.TaskLoc[1], "/bin/b");
}

TEST(SettingsRead, EndingBeforeTheEighthValueIs62AndKeepsWhatWasRead)
{
    Read firstRun = parse("FIRSTRUN\r\n");
    EXPECT_EQ(firstRun.code, 62);
    EXPECT_EQ(firstRun.s.LaunchOpt, "FIRSTRUN");

    Read seven = parse(joined(std::vector<std::string>(kEight.begin(), kEight.begin() + 7)));
    EXPECT_EQ(seven.code, 62);
    EXPECT_EQ(seven.s.Sounds, "SOUNDOFF");

    Read empty = parse("");
    EXPECT_EQ(empty.code, 62);

    // A file that holds FIRSTRUN and is complete reads without a failure.
    std::vector<std::string> v = kEight;
    v[0] = "FIRSTRUN";
    Read complete = parse(joined(v));
    EXPECT_EQ(complete.code, 0);
    EXPECT_EQ(complete.s.LaunchOpt, "FIRSTRUN");
}

TEST(SettingsRead, OnlyARegularFileOfAReasonableSizeIsRead)
{
    TempDir dir;
    const std::string path = dir.file("config.ini");
    EXPECT_EQ(readFile(path).code, 53);
    // None of these may be 62 (start-up would replace them with the default
    // file) or hang: a pipe with no writer blocks a plain open for ever, a
    // device or an endless file never ends. Each plant says whether the
    // platform has such a thing.
    const std::vector<std::pair<const char*, std::function<bool()>>> planted = {
        {"folder", [&] { return fs::create_directory(path); }},
        {"fifo", [&] { return sim::plantPipe(path); }},
        {"device", [&] { return sim::plantDevice(path); }},
        {"larger than the limit",
         [&] {
             dir.write("config.ini", "");
             fs::resize_file(path, kConfigReadLimit + 1);
             return true;
         }},
    };
    for (const auto& [what, plant] : planted) {
        SCOPED_TRACE(what);
        if (!plant())
            continue;
        const auto guard = sim::endIfStuck(10);
        EXPECT_EQ(readFile(path).code, 75);
        fs::remove_all(path);
    }

    // A file of exactly the limit still reads, and a link to a file kept
    // elsewhere is followed.
    std::string text = joined(eightPlus({"d"})) + "loc";
    text += std::string(kConfigReadLimit - text.size() - 2, ' ') + "\r\n";
    ASSERT_EQ(text.size(), kConfigReadLimit);
    TempDir elsewhere;
    elsewhere.write("config.ini", text);
    if (!sim::plantLink(elsewhere.file("config.ini"), path))
        fs::copy_file(elsewhere.file("config.ini"), path);
    Read r = readFile(path);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.t.TaskLoc[1], "loc");
}

TEST(SettingsRead, AUtf8ByteOrderMarkIsSkippedOnlyAtTheStart)
{
    EXPECT_EQ(parse("\xEF\xBB\xBF" + joined(kEight)).s.LaunchOpt, "NORM");
    Read r = parse(joined(eightPlus({"\xEF\xBB\xBF"
                                     "desc",
                                     "loc"})));
    EXPECT_EQ(r.t.TaskDesc[1], "\xEF\xBB\xBF"
                               "desc");
    // Without a mark the bytes read as before.
    EXPECT_EQ(parse(joined({"\xEF\xBB"
                            "NORM",
                            "x", "", "1", "1", "R", "S", "C"}))
                  .s.LaunchOpt,
              "\xEF\xBB"
              "NORM");
}

TEST(SettingsRead, HundredTasksReadAndTheHundredAndFirstIs9BeforeAnythingIsStored)
{
    std::vector<std::string> tail;
    for (int i = 1; i <= 100; ++i) {
        tail.push_back("task " + std::to_string(i));
        tail.push_back("loc" + std::to_string(i));
    }
    Read hundred = parse(joined(eightPlus(tail)));
    EXPECT_EQ(hundred.code, 0);
    EXPECT_EQ(hundred.total, 100);
    EXPECT_EQ(hundred.t.TaskDesc[100], "task 100");
    EXPECT_EQ(hundred.t.TaskLoc[100], "loc100");

    tail.push_back("task 101");
    tail.push_back("loc101");
    TempDir dir;
    const std::string text = joined(eightPlus(tail));
    dir.write("config.ini", text);
    Read more = readFile(dir.file("config.ini"));
    EXPECT_EQ(more.code, 9);
    EXPECT_EQ(more.t.TaskDesc[100], "task 100");
    EXPECT_EQ(more.t.TaskLoc[100], "loc100");
    EXPECT_EQ(dir.read("config.ini"), text);

    // Even a lone description as the 101st value is refused with 9, not 62.
    tail.pop_back();
    EXPECT_EQ(parse(joined(eightPlus(tail))).code, 9);
}

TEST(SettingsRead, TimesReadAsTheNumberTheyBeginWith)
{
    auto initTime = [](const std::string& line) {
        std::vector<std::string> v = kEight;
        v[3] = line;
        Read r = parse(joined(v));
        EXPECT_EQ(r.code, 0) << "InitTime line '" << line << "'";
        // The values after the time stay in their places.
        EXPECT_EQ(r.s.CheckTime, 7) << "InitTime line '" << line << "'";
        EXPECT_EQ(r.s.UserComment, "COMMENTSON") << "InitTime line '" << line << "'";
        return r.s.InitTime;
    };
    EXPECT_EQ(initTime("abc"), 0);
    EXPECT_EQ(initTime(""), 0);
    EXPECT_EQ(initTime("   "), 0);
    EXPECT_EQ(initTime("x5"), 0);
    EXPECT_EQ(initTime("45"), 45);
    EXPECT_EQ(initTime("  45  "), 45);
    EXPECT_EQ(initTime("-3"), -3);
    EXPECT_EQ(initTime("32767"), 32767);
    EXPECT_EQ(initTime("-32768"), -32768);
    // The editor keeps a time as typed once it begins with 1 to 60.
    EXPECT_EQ(initTime("5x"), 5);
    // A fraction rounds half to even, the one rule for numbers stored in 16 bits.
    EXPECT_EQ(initTime("1.5"), 2);
    EXPECT_EQ(initTime("2.5"), 2);
    EXPECT_EQ(initTime("3.5"), 4);
    EXPECT_EQ(initTime("0.5"), 0);
    EXPECT_EQ(initTime("1.49"), 1);
    EXPECT_EQ(initTime("2.50000000000000001"), 2);
    EXPECT_EQ(initTime("2.5000001"), 3);
    EXPECT_EQ(initTime("-2.5"), -2);
    EXPECT_EQ(initTime(".5x"), 0);
    EXPECT_EQ(initTime("60.9"), 61);
    EXPECT_EQ(initTime("32767.4"), 32767);
    EXPECT_EQ(initTime("1e999"), 1); // no exponent: the number ends at the "e"
    EXPECT_EQ(initTime("0." + std::string(400, '0') + "1"), 0);
    EXPECT_EQ(initTime("\" 7 sec\""), 7);

    std::vector<std::string> v = kEight;
    v[4] = "";
    Read emptyCheck = parse(joined(v));
    EXPECT_EQ(emptyCheck.code, 0);
    EXPECT_EQ(emptyCheck.s.CheckTime, 0);
    EXPECT_EQ(emptyCheck.s.RemoteOpt, "REMOTEOFF");
}

TEST(SettingsRead, TimesOutsideSixteenBitsAreOverflow)
{
    for (const std::string& line : std::vector<std::string>{"70000", "32768", "-32769", "99999999999999999999999",
                                                            "70000x", "32767.5", std::string(400, '9')}) {
        std::vector<std::string> v = kEight;
        v[4] = line;
        Read r = parse(joined(v));
        EXPECT_EQ(r.code, 6) << line;
        EXPECT_EQ(r.s.InitTime, 12) << line;
    }
    try {
        parseTime("70000");
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code, 6);
        EXPECT_EQ(f.description, "Overflow");
    }
}

TEST(SettingsRead, LoneCrAndLoneLfEndALineLikeCrLf)
{
    const std::vector<std::string> values = eightPlus({"", "first", "b", "/bin/b"});
    for (std::string end : {"\r", "\n", "\r\n"}) {
        TempDir dir;
        dir.write("config.ini", joined(values, end));
        Read r = readFile(dir.file("config.ini"));
        EXPECT_EQ(r.code, 0);
        expectEight(r);
        EXPECT_EQ(r.total, 2);
        EXPECT_EQ(r.t.TaskDesc[1], "");
        EXPECT_EQ(r.t.TaskLoc[1], "first");
        EXPECT_EQ(r.t.TaskDesc[2], "b");
        EXPECT_EQ(r.t.TaskLoc[2], "/bin/b");
    }
}

TEST(SettingsRead, CommasAndBlanksSeparateAndQuotesGroup)
{
    // A hand-made file: several values on a line, blanks around values.
    Read r = parse("NORM, /srv/x ,\t\"run, now \"\r\n12,7\r\nREMOTEOFF\r\nSOUNDOFF,COMMENTSON\r\n"
                   "\"say \"\"hi\"\"\",echo\r\n");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.s.ExchangeDir, "/srv/x");
    EXPECT_EQ(r.s.UserCmd, "run, now ");
    EXPECT_EQ(r.s.InitTime, 12);
    EXPECT_EQ(r.s.CheckTime, 7);
    EXPECT_EQ(r.s.UserComment, "COMMENTSON");
    EXPECT_EQ(r.total, 1);
    EXPECT_EQ(r.t.TaskDesc[1], "say \"hi\"");
    EXPECT_EQ(r.t.TaskLoc[1], "echo");
}

TEST(SettingsRead, SlotsAboveTheNewTotalAreCleared)
{
    Read before;
    for (int i = 0; i <= kMaxTasks; ++i) {
        before.t.TaskDesc[i] = "stale " + std::to_string(i);
        before.t.TaskLoc[i] = "stale.sh";
    }
    Read r = parse(joined(eightPlus({"one", "1.sh", "two", "2.sh"})), before);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.total, 2);
    EXPECT_EQ(r.t.TaskLoc[2], "2.sh");
    for (int i = 3; i <= kMaxTasks; ++i) {
        EXPECT_EQ(r.t.TaskDesc[i], "") << i;
        EXPECT_EQ(r.t.TaskLoc[i], "") << i;
    }
    // So a stale task is never saved again.
    EditorValues v{"NORM", "/x", "", "1", "1", false, false, false};
    Read again = parse(formatConfig(v, r.t));
    EXPECT_EQ(again.total, 2);
}

TEST(SettingsWrite, WritesInOrderAndSkipsEmptyLocations)
{
    TaskTable t;
    t.TaskDesc[1] = "one";
    t.TaskLoc[1] = "1.sh";
    t.TaskDesc[2] = "two";
    t.TaskLoc[2] = "2.sh";
    t.TaskDesc[3] = "three has no location";
    t.TaskDesc[4] = "four";
    t.TaskLoc[4] = "4.sh";
    t.TaskDesc[0] = "slot 0 is never a task";
    t.TaskLoc[0] = "zero.sh";
    EditorValues v{"MIN", "/srv/ex", "calc", "30", "10", true, false, true};
    EXPECT_EQ(formatConfig(v, t), "MIN\r\n/srv/ex\r\ncalc\r\n30\r\n10\r\nREMOTEON\r\nSOUNDOFF\r\nCOMMENTSON\r\n"
                                  "one\r\n1.sh\r\ntwo\r\n2.sh\r\nfour\r\n4.sh\r\n");

    TempDir dir;
    saveConfig(dir.file("config.ini"), v, t);
    Read r = readFile(dir.file("config.ini"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.total, 3);
    EXPECT_EQ(r.t.TaskDesc[3], "four");
    EXPECT_EQ(r.t.TaskLoc[3], "4.sh");
    EXPECT_EQ(r.s.LaunchOpt, "MIN");
    EXPECT_EQ(r.s.RemoteOpt, "REMOTEON");
    EXPECT_EQ(r.s.Sounds, "SOUNDOFF");
    EXPECT_EQ(r.s.UserComment, "COMMENTSON");
}

TEST(SettingsWrite, QuotesOnlyWhatWouldNotReadBack)
{
    EXPECT_EQ(encodeValue("plain text"), "plain text");
    EXPECT_EQ(encodeValue("mid\"quote"), "mid\"quote");
    EXPECT_EQ(encodeValue(""), "");
    EXPECT_EQ(encodeValue("a,b"), "\"a,b\"");
    EXPECT_EQ(encodeValue(" lead"), "\" lead\"");
    EXPECT_EQ(encodeValue("trail\t"), "\"trail\t\"");
    EXPECT_EQ(encodeValue("\"q\" x"), "\"\"\"q\"\" x\"");
    EXPECT_EQ(encodeValue("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(encodeValue("cr\r"), "\"cr\r\"");
}

// Awkward texts for every text slot: separators, quotes, blanks, line ends,
// bytes above 127, long runs.
std::string awkward(std::mt19937& rng)
{
    using namespace std::string_literals;
    static const std::vector<std::string> pieces = {
        ","s,    "\""s,   "\"\""s, " "s,        "\t"s,   "\r"s,   "\n"s,           "\r\n"s, "a"s, "Z"s, "0"s,
        "x y"s,  "\\"s,   "C:\\"s, "/srv/dir"s, "é"s,    "\xff"s, "\x80\xfe"s,     "'"s,    ";"s, "="s, "\"a,b\""s,
        "  \t"s, "\x01"s, "#"s,    "[sect]"s,   "$(x)"s, "\xc3"s, "end\" junk ,"s, "NORM"s, "\0"s};
    std::string s;
    switch (rng() % 12) {
    case 0:
        return s; // empty
    case 1:
        s.assign(300 + rng() % 700, static_cast<char>('A' + rng() % 26)); // long
        break;
    default:
        break;
    }
    int n = static_cast<int>(rng() % 7);
    for (int i = 0; i < n; ++i) {
        s += pieces[rng() % pieces.size()];
    }
    return s;
}

TEST(SettingsRoundTrip, EverythingTheEditorHoldsReadsBackInItsPlace)
{
    std::mt19937 rng(20261207);
    TempDir dir;
    const std::string path = dir.file("config.ini");
    static const char* const launchOpts[] = {"EXIT", "MIN", "NORM"};
    // The time boxes keep any text that begins with a number from 1 to 60.
    static const char* const timeTails[] = {"", "x", ".5", " sec", ",5", "\t", "\"", "s\r\n"};
    for (int iteration = 0; iteration < 3000; ++iteration) {
        EditorValues v;
        v.LaunchOpt = launchOpts[rng() % 3];
        v.ExchangeDir = awkward(rng);
        v.UserCmd = awkward(rng);
        int init = 1 + static_cast<int>(rng() % 60), check = 1 + static_cast<int>(rng() % 60);
        const std::string initTail = timeTails[rng() % 8], checkTail = timeTails[rng() % 8];
        v.InitTimeText = (rng() % 4 == 0 ? " " : "") + std::to_string(init) + initTail;
        v.CheckTimeText = std::to_string(check) + checkTail;
        // n.5 reads as the even neighbour.
        if (initTail == ".5" && init % 2)
            ++init;
        if (checkTail == ".5" && check % 2)
            ++check;
        v.remoteOn = rng() % 2;
        v.soundOn = rng() % 2;
        v.commentsOn = rng() % 2;

        TaskTable t;
        std::vector<std::pair<std::string, std::string>> expected;
        for (int i = 1; i <= kMaxTasks; ++i) {
            if (rng() % 4 != 0)
                continue;
            t.TaskDesc[i] = awkward(rng);
            t.TaskLoc[i] = rng() % 5 == 0 ? "" : awkward(rng);
            if (!t.TaskLoc[i].empty())
                expected.emplace_back(t.TaskDesc[i], t.TaskLoc[i]);
        }

        // Most rounds in memory; every hundredth through the real file.
        Read before;
        before.t.TaskDesc.fill("stale");
        before.t.TaskLoc.fill("stale");
        Read r;
        // Through the file only when the platform takes the bytes as they are
        // (on Windows, bytes that are not UTF-8 read as the ANSI code page).
        TextEncoding encoding;
        const std::string text = formatConfig(v, t);
        if (iteration % 100 == 0 && decodeFileText(text, encoding) == text) {
            saveConfig(path, v, t);
            r = readFile(path, before);
        } else {
            r = parse(text, before);
        }

        SCOPED_TRACE("iteration " + std::to_string(iteration));
        ASSERT_EQ(r.code, 0);
        EXPECT_EQ(r.s.LaunchOpt, v.LaunchOpt);
        EXPECT_EQ(r.s.ExchangeDir, v.ExchangeDir);
        EXPECT_EQ(r.s.UserCmd, v.UserCmd);
        EXPECT_EQ(r.s.InitTime, init) << v.InitTimeText;
        EXPECT_EQ(r.s.CheckTime, check) << v.CheckTimeText;
        EXPECT_EQ(r.s.RemoteOpt, v.remoteOn ? "REMOTEON" : "REMOTEOFF");
        EXPECT_EQ(r.s.Sounds, v.soundOn ? "SOUNDON" : "SOUNDOFF");
        EXPECT_EQ(r.s.UserComment, v.commentsOn ? "COMMENTSON" : "COMMENTSOFF");
        ASSERT_EQ(r.total, static_cast<int>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(r.t.TaskDesc[i + 1], expected[i].first) << "task " << i + 1;
            ASSERT_EQ(r.t.TaskLoc[i + 1], expected[i].second) << "task " << i + 1;
        }
        for (int i = static_cast<int>(expected.size()) + 1; i <= kMaxTasks; ++i)
            ASSERT_TRUE(r.t.TaskDesc[i].empty() && r.t.TaskLoc[i].empty()) << "slot " << i;
        if (HasFailure())
            break;
    }
}

int saveCode(const std::string& path, const EditorValues& v, const TaskTable& t)
{
    return sim::failureCodeOf([&] { saveConfig(path, v, t); });
}

const EditorValues kSaved{"EXIT", "/new", "new", "5", "5", true, true, true};

TEST(SettingsSave, ReplacesTheWholeFileAndLeavesNoTemporaryFile)
{
    TempDir dir;
    dir.write("config.ini", joined(eightPlus({"old", "old.sh", "older", "older.sh", "oldest", "oldest.sh"})));
    TaskTable t;
    t.TaskDesc[1] = "new";
    t.TaskLoc[1] = "new.sh";
    ASSERT_EQ(saveCode(dir.file("config.ini"), kSaved, t), 0);
    EXPECT_EQ(dir.read("config.ini"), formatConfig(kSaved, t));
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"config.ini"});
}

TEST(SettingsSave, AFailedRenameLeavesTheOldContentAndNoTemporaryFile)
{
    // config.ini is a folder with something in it: the rename over it fails,
    // even for root.
    TempDir dir;
    fs::create_directory(dir.file("config.ini"));
    dir.write("config.ini/keep", "old bytes");
    TaskTable t;
    t.TaskLoc[1] = "x";
    EXPECT_NE(saveCode(dir.file("config.ini"), kSaved, t), 0);
    EXPECT_TRUE(fs::is_directory(dir.file("config.ini")));
    EXPECT_EQ(dir.read("config.ini/keep"), "old bytes");
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"config.ini"});

    // A folder that is a regular file: nothing can be created at all.
    TempDir other;
    other.write("notafolder", "plain");
    EXPECT_EQ(saveCode(other.file("notafolder") + "/config.ini", kSaved, t), 76);
    EXPECT_EQ(other.read("notafolder"), "plain");
    EXPECT_EQ(listing(other.path()), std::vector<std::string>{"notafolder"});
}

TEST(SettingsSave, AWriteThatFailsPartWayLeavesTheOldFileByteIdentical)
{
    TempDir dir;
    const std::string old = joined(eightPlus({"\"old, with a comma\"", "old.sh"}));
    dir.write("config.ini", old);
    TaskTable t;
    for (int i = 1; i <= kMaxTasks; ++i) {
        t.TaskDesc[i] = std::string(100, 'd');
        t.TaskLoc[i] = "task.sh";
    }
    int code;
    {
        auto limit = sim::limitFileSize(1024);
        if (!limit)
            GTEST_SKIP() << "no file size limit here";
        code = saveCode(dir.file("config.ini"), kSaved, t);
    }
    EXPECT_NE(code, 0);
    EXPECT_EQ(dir.read("config.ini"), old);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"config.ini"});
    // The file still reads as before, so a failed save never leads to the default file.
    EXPECT_EQ(readFile(dir.file("config.ini")).code, 0);
}

TEST(SettingsDefault, ReplaceKeepsTheDamagedFileAsBak)
{
    TempDir dir;
    const std::string damaged = "NORM\r\n/srv\r\n\xff odd bytes, kept\r\n";
    dir.write("config.ini", damaged);
    dir.write("config.ini.bak", "an older backup");
    replaceWithDefault(dir.file("config.ini"));
    EXPECT_EQ(dir.read("config.ini"), defaultConfigText());
    EXPECT_EQ(dir.read("config.ini.bak"), damaged);
    Read r = readFile(dir.file("config.ini"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.total, 1);
    EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"config.ini", "config.ini.bak"}));

    // With no file to keep, just the default file.
    TempDir empty;
    replaceWithDefault(empty.file("config.ini"));
    EXPECT_EQ(empty.read("config.ini"), defaultConfigText());
    EXPECT_FALSE(empty.exists("config.ini.bak"));
}

} // namespace
} // namespace torv
