// The remote poll in virtual time: the command table, the silent failure rule,
// the toggle, and what may be planted in the exchange folder.
#include "base/Failure.h"
#include "ports/Paths.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"
#include "support/ConsoleFixture.h"
#include "support/FileTricks.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDate = "12/7/2026";

class RemoteTest : public ConsoleTest {
protected:
    static ConfigValues config(const std::string& initTime, const std::string& remoteOpt)
    {
        ConfigValues spec;
        spec.initTime = initTime;
        spec.remoteOpt = remoteOpt;
        return spec;
    }
    // A finished sequence with the poll on: its first tick comes at 10 s.
    void startIdle(const std::string& remoteOpt = "REMOTEON")
    {
        writeConfig(config("1", remoteOpt));
        ASSERT_FALSE(start());
        ASSERT_EQ(logLines().size(), 3u);
    }
    void command(const std::string& text) { exchange.write("command.txt", text); }
    // The program ended and started again: a new console, not yet loaded.
    void newProgram()
    {
        form = std::make_unique<Form1>(Ports{sim.events, sim.clock, sim.launcher, sim.sound, sim.dialogs, sim.program,
                                             sim.tray, sim.cpu, 42, sim.probe, sim.web},
                                       sim.view);
    }
    bool commandPresent() const
    {
        std::error_code ec;
        return fs::symlink_status(exchange.file("command.txt"), ec).type() != fs::file_type::not_found;
    }
    // Lets exactly the next poll (at the next multiple of 10 s) happen.
    void nextPoll() { sim.events.runUntil((sim.events.now() / 10000 + 1) * 10000); }
    std::string result() const { return exchange.read("Result.txt"); }
    // The clock's time text s seconds into the test (it starts at 09:05:00).
    static std::string time(int s)
    {
        s += 5 * 60;
        char buf[32];
        std::snprintf(buf, sizeof buf, "09:%02d:%02d", s / 60, s % 60);
        return buf;
    }
    std::vector<std::string> cuesAfter(Ms t) const
    {
        std::vector<std::string> out;
        for (const Cue& c : sim.sound.cues)
            if (c.at > t)
                out.push_back(c.path.substr(c.path.find_last_of(pathSeparator()) + 1));
        return out;
    }
};

TEST_F(RemoteTest, OffAndRestartAcknowledgeAnswerThenShutTheMachineDown)
{
    struct Row {
        const char* command;
        const char* entry;
        const char* launched;
    };
    startIdle();
    for (Row row : {Row{"off", "System Shutdown Acknowledged at:", "shutdown -h now"},
                    Row{"restart", "System Restart Acknowledged at:", "shutdown -r now"}}) {
        SCOPED_TRACE(row.command);
        form->state().DumpString.clear();
        form->state().Timer2->setEnabled(false);
        form->state().Timer2->setEnabled(true); // a fresh ten seconds
        const Ms t0 = sim.events.now();
        const size_t launchesBefore = sim.launcher.launches.size();
        command(std::string(row.command) + "\r\n");
        sim.events.runFor(10000);

        const int s = static_cast<int>((t0 + 10000) / 1000);
        // Time before date, unlike every other entry.
        EXPECT_THAT(logLines(), ElementsAre(std::string(row.entry) + time(s) + ":" + kDate));
        EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
        EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
        EXPECT_FALSE(commandPresent());
        ASSERT_EQ(sim.launcher.launches.size(), launchesBefore + 1);
        EXPECT_EQ(sim.launcher.launches.back().commandLine, row.launched);
        EXPECT_EQ(sim.launcher.launches.back().style, WindowStyle::Minimized);
        EXPECT_THAT(cuesAfter(t0), ElementsAre("shutdown.wav"));
        EXPECT_FALSE(form->state().Timer2->enabled());

        // No further polls: a new command waits untouched.
        command("report");
        sim.events.runFor(60000);
        EXPECT_TRUE(commandPresent());
        EXPECT_EQ(logLines().size(), 1u);
        fs::remove(exchange.file("command.txt"));
    }
}

TEST_F(RemoteTest, ReportAndRefusedCommandsAnswerAndKeepPolling)
{
    startIdle();
    command("report\r\noff\r\n"); // only the first field counts
    nextPoll();
    EXPECT_EQ(logLines().back(), std::string("Report Requested and Generated at:") + kDate + ":" + time(10));
    EXPECT_THAT(cuesAfter(9999), ElementsAre("relay.wav"));
    EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
    EXPECT_FALSE(commandPresent());
    EXPECT_TRUE(sim.launcher.launches.empty());
    EXPECT_TRUE(form->state().Timer2->enabled());

    int poll = 2;
    for (const char* refused : {"delete C:\\important", "Del", "DELTREE x", "dElEtE"}) {
        SCOPED_TRACE(refused);
        command(refused);
        nextPoll();
        EXPECT_EQ(logLines().back(), std::string("HOSTILE COMMAND DEL:") + kDate + ":" + time(10 * poll++));
        EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
        EXPECT_FALSE(commandPresent());
    }
    // The refused text itself never reaches the log; no cue, no launch.
    EXPECT_EQ(form->state().DumpString.text().find("important"), std::string::npos);
    EXPECT_THAT(cuesAfter(10000), ElementsAre());
    EXPECT_TRUE(sim.launcher.launches.empty());
    EXPECT_TRUE(form->state().Timer2->enabled());
}

TEST_F(RemoteTest, OtherCommandsAreLaunchedLoggedAnsweredAndCued)
{
    startIdle();
    struct Row {
        const char* file;
        const char* launched;
    };
    int poll = 1;
    for (Row row : {Row{"cmd /c del x\r\n", "cmd /c del x"}, Row{"  notepad.exe a,b\r\n", "notepad.exe a"},
                    Row{"\"notepad.exe a,b\"", "notepad.exe a,b"}, Row{"de", "de"}}) {
        SCOPED_TRACE(row.file);
        command(row.file);
        nextPoll();
        ASSERT_EQ(sim.launcher.launches.size(), static_cast<size_t>(poll));
        EXPECT_EQ(sim.launcher.launches.back().commandLine, row.launched);
        EXPECT_EQ(sim.launcher.launches.back().style, WindowStyle::Normal);
        EXPECT_EQ(logLines().back(),
                  std::string("Executing Remote Command:") + row.launched + " at:" + kDate + ":" + time(10 * poll));
        EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
        EXPECT_FALSE(commandPresent());
        EXPECT_EQ(sim.sound.names().back(), "command.wav");
        ++poll;
    }
    EXPECT_TRUE(form->state().Timer2->enabled());
}

TEST_F(RemoteTest, UnlaunchableCommandIsRetriedEveryPollWithoutATrace)
{
    startIdle();
    const std::string logBefore = form->state().DumpString.text();
    const std::string resultBefore = result();
    const size_t cuesBefore = sim.sound.cues.size();
    for (const char* near : {"Off", "OFF", "\"off \""}) {
        SCOPED_TRACE(near);
        const std::string launched = near[0] == '"' ? "off " : near;
        sim.launcher.failing[launched] = {53, "File not found"};
        command(near);
        const size_t before = sim.launcher.launches.size();
        nextPoll();
        nextPoll();
        ASSERT_EQ(sim.launcher.launches.size(), before + 2);
        EXPECT_EQ(sim.launcher.launches.back().commandLine, launched);
        EXPECT_TRUE(commandPresent());
    }
    EXPECT_EQ(form->state().DumpString.text(), logBefore);
    EXPECT_EQ(result(), resultBefore);
    EXPECT_EQ(sim.sound.cues.size(), cuesBefore);
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_TRUE(form->state().Timer2->enabled());
}

TEST_F(RemoteTest, NoFieldOrAnEmptyFieldIsNeverHandledNorDeleted)
{
    startIdle();
    const std::string logBefore = form->state().DumpString.text();
    for (const char* text : {"", "\r\nreport\r\n", ",report", "   \t\r\n", "\n"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        command(text);
        nextPoll();
        nextPoll();
        EXPECT_TRUE(commandPresent());
        EXPECT_EQ(exchange.read("command.txt"), text);
    }
    EXPECT_EQ(form->state().DumpString.text(), logBefore);
    EXPECT_TRUE(sim.launcher.launches.empty());
    EXPECT_TRUE(form->state().Timer2->enabled());
}

TEST_F(RemoteTest, MissingFolderAndIdleFolderAreSilentAndTheFolderIsReadAfresh)
{
    startIdle();
    const std::string logBefore = form->state().DumpString.text();
    nextPoll(); // idle: no command file
    form->state().settings.ExchangeDir = exchange.file("gone");
    command("report"); // in the old folder, no longer looked at
    nextPoll();
    EXPECT_EQ(form->state().DumpString.text(), logBefore);
    EXPECT_TRUE(commandPresent());
    EXPECT_TRUE(form->state().Timer2->enabled());

    TempDir other;
    form->state().settings.ExchangeDir = other.path();
    other.write("command.txt", "report");
    nextPoll();
    EXPECT_FALSE(other.exists("command.txt"));
    EXPECT_EQ(other.read("Result.txt"), form->state().DumpString.text() + "\r\n");
    EXPECT_TRUE(commandPresent());
}

TEST_F(RemoteTest, OnlyTheFirst64KiBAreReadForTheField)
{
    startIdle();
    // A short field followed by a long tail is read.
    command("report," + std::string(200 * 1024, 'x'));
    nextPoll();
    EXPECT_FALSE(commandPresent());
    EXPECT_THAT(logLines().back(), StartsWith("Report Requested"));

    // A field is launched when its line end (or the end of the file) lies
    // within the limit, and never cut short when it runs past it.
    const size_t L = kCommandReadLimit;
    const std::string tail = "\r\ntail";
    struct Case {
        std::string text;
        size_t launched; // the field's length, 0: refused
    } cases[] = {
        {std::string(L - 2, 'a') + tail, L - 2}, // CR LF end exactly at the limit
        {std::string(L - 3, 'a') + tail, L - 3},
        {std::string(L - 1, 'a') + tail, L - 1}, // the CR inside, the LF beyond
        {std::string(L, 'a') + tail, 0},
        {std::string(L + 10, 'a'), 0},
        {std::string(L, 'a'), L}, // the whole file fits
        // A quoted field is whole at its closing quote, unless the byte past
        // the limit doubles that quote.
        {"\"" + std::string(L - 2, 'a') + "\"" + tail, L - 2},
        {"\"" + std::string(L - 2, 'a') + "\"\"b\"" + tail, 0},
        {"\"" + std::string(L - 3, 'a') + "\"\"b\"" + tail, 0},
        {"\"" + std::string(L - 1, 'a') + "\"" + tail, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        sim.launcher.launches.clear();
        command(c.text);
        nextPoll();
        if (c.launched == 0) {
            EXPECT_TRUE(sim.launcher.launches.empty());
            EXPECT_TRUE(commandPresent());
        } else {
            ASSERT_EQ(sim.launcher.launches.size(), 1u);
            EXPECT_EQ(sim.launcher.launches[0].commandLine, std::string(c.launched, 'a'));
            EXPECT_FALSE(commandPresent());
        }
    }
}

TEST_F(RemoteTest, CommandFilesWrittenByWindowsToolsAreUnderstood)
{
    startIdle();
    // Notepad's "UTF-8 with BOM", PowerShell 5's ">" (UTF-16 LE with a mark)
    // and big-endian UTF-16, each holding "report" and a line end.
    const std::string utf16le("\xFF\xFEr\0e\0p\0o\0r\0t\0\r\0\n\0", 18);
    const std::string utf16be("\xFE\xFF\0r\0e\0p\0o\0r\0t\0\r\0\n", 18);
    for (const std::string& text : {std::string("\xEF\xBB\xBFreport\r\n"), utf16le, utf16be}) {
        SCOPED_TRACE(testing::PrintToString(text));
        command(text);
        nextPoll();
        EXPECT_FALSE(commandPresent());
        EXPECT_THAT(logLines().back(), StartsWith("Report Requested"));
    }
    // A command line in UTF-16 arrives as UTF-8 text; the first field rule
    // still holds ("é" and the euro sign, then a comma).
    command(std::string("\xFF\xFEr\0u\0n\0 \0\xE9\0\xAC\x20,\0x\0", 16));
    nextPoll();
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].commandLine, "run \xC3\xA9\xE2\x82\xAC");
    // Without a mark the bytes are taken as they are.
    command(std::string("r\0e\0p\0o\0r\0t\0", 12));
    nextPoll();
    ASSERT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_EQ(sim.launcher.launches[1].commandLine, std::string("r\0e\0p\0o\0r\0t\0", 12));
}

TEST_F(RemoteTest, ACommandLineWithANulByteIsRefusedLikeAnyUnlaunchableOne)
{
    startIdle();
    const std::string logBefore = form->state().DumpString.text(), resultBefore = result();
    command(std::string("run.sh\0--all", 12));
    nextPoll();
    nextPoll();
    // Tried at each poll and refused: no entry, no result, the file stays.
    EXPECT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_EQ(form->state().DumpString.text(), logBefore);
    EXPECT_EQ(result(), resultBefore);
    EXPECT_TRUE(commandPresent());
    EXPECT_TRUE(form->state().Timer2->enabled());
}

TEST_F(RemoteTest, ShutdownThatCannotBeLaunchedLeavesTheAcknowledgementAndThePollOn)
{
    startIdle();
    sim.launcher.failing["shutdown -h now"] = {53, "File not found"};
    command("off");
    nextPoll();
    EXPECT_THAT(logLines().back(), StartsWith("System Shutdown Acknowledged at:09:05:10:"));
    EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
    EXPECT_FALSE(commandPresent());
    EXPECT_TRUE(form->state().Timer2->enabled());
    EXPECT_TRUE(sim.dialogs.messages.empty());
    command("report");
    nextPoll();
    EXPECT_THAT(logLines().back(), StartsWith("Report Requested"));
}

TEST_F(RemoteTest, ReportDuringATaskWaitWritesTheLogOfThatMoment)
{
    ConfigValues spec = config("2", "REMOTEON");
    spec.checkTime = "20";
    spec.tasks = {{"A", "a"}, {"B", "b"}};
    writeConfig(spec);
    form->state().Timer2->setEnabled(true); // left on by an earlier sequence
    command("report");
    std::string atPoll;
    sim.events.at(10500, [&] {
        atPoll = result();
        EXPECT_FALSE(commandPresent());
        EXPECT_TRUE(sim.launcher.launches.empty());
    });
    start();
    EXPECT_EQ(atPoll, "Seuquence Init\r\nStarting Application Execution:12/7/2026:09:05:01\r\n"
                      "Report Requested and Generated at:12/7/2026:09:05:10\r\n\r\n");
    // The sequence went on undisturbed and wrote its own result at the end.
    EXPECT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
}

TEST_F(RemoteTest, AfterAClearedLogTheResultStartsWithTheCommandsEntry)
{
    startIdle();
    form->cmdClear_Click();
    command("report");
    nextPoll();
    EXPECT_EQ(result(), "Report Requested and Generated at:12/7/2026:09:05:10\r\n\r\n");
    EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
}

TEST_F(RemoteTest, ACommandFileThatCannotBeDeletedIsCarriedOutOnceEvenAcrossARestart)
{
    struct Row {
        const char* command;
        const char* entry; // the command's own entry
        const char* kept;  // the entry that says it was kept
        size_t launches;   // a shutdown only once the file is gone
    };
    const Row rows[] = {
        {"run-me", "Executing Remote Command:run-me at:", "COMMAND FILE KEPT", 1},
        {"report", "Report Requested and Generated at:", "COMMAND FILE KEPT", 0},
        {"off", "System Shutdown Acknowledged at:", "SHUTDOWN NOT CARRIED OUT", 0},
        {"restart", "System Restart Acknowledged at:", "RESTART NOT CARRIED OUT", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        newProgram();
        startIdle();
        sim.launcher.launches.clear();
        command(row.command);
        auto release = makeUndeletable(exchange.file("command.txt"));
        if (!release)
            GTEST_SKIP() << "cannot make a file undeletable here";
        nextPoll();
        auto lines = logLines();
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_THAT(lines[3], StartsWith(row.entry));
        EXPECT_THAT(lines[4], StartsWith(std::string(row.kept) + ": command.txt could not be deleted (70 "));
        EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n"); // the remote party reads why
        EXPECT_EQ(sim.launcher.launches.size(), row.launches);
        EXPECT_TRUE(form->state().Timer2->enabled());

        // Met again: nothing, neither at the next polls nor after a restart
        // of the program.
        nextPoll();
        nextPoll();
        EXPECT_EQ(logLines().size(), 5u);
        newProgram();
        ASSERT_FALSE(start());
        const size_t afterStart = logLines().size();
        nextPoll();
        nextPoll();
        EXPECT_EQ(logLines().size(), afterStart);
        EXPECT_EQ(sim.launcher.launches.size(), row.launches);

        // The same command written anew in its place is carried out.
        release.reset();
        command(row.command);
        nextPoll();
        EXPECT_THAT(logLines().back(), StartsWith(row.entry));
        EXPECT_FALSE(commandPresent());
        EXPECT_TRUE(dir.exists("remote.undeleted"));
        form->state().Timer2->setEnabled(true); // off after a shutdown
        nextPoll();                             // finds it gone, and forgets
        EXPECT_FALSE(dir.exists("remote.undeleted"));
    }
}

TEST_F(RemoteTest, ToggleSwitchesThePollAndAnEditorReloadReleasesIt)
{
    startIdle("REMOTEOFF");
    command("report");
    sim.events.runFor(60000);
    EXPECT_TRUE(commandPresent()); // the poll is off

    const Ms pressed = sim.events.now();
    form->chkRemote_UserSet(true);
    EXPECT_EQ(sim.view.status, "Waiting for Remote Commands");
    EXPECT_TRUE(form->state().Timer2->enabled());
    sim.events.runFor(9999);
    EXPECT_TRUE(commandPresent());
    sim.events.runFor(1);
    EXPECT_FALSE(commandPresent());
    EXPECT_EQ(logLines().back(), std::string("Report Requested and Generated at:") + kDate + ":" +
                                     time(static_cast<int>((pressed + 10000) / 1000)));

    form->chkRemote_UserSet(false);
    EXPECT_EQ(sim.view.status, "Remote Commands Disabled");
    EXPECT_FALSE(form->state().Timer2->enabled());
    command("report");
    sim.events.runFor(30000);
    EXPECT_TRUE(commandPresent());

    // Pressed again, then the settings editor closes with Ok+Restart: the reload
    // releases the toggle and the poll stops while the new countdown runs.
    form->chkRemote_UserSet(true);
    editorSavesAndRestarts(config("30", "REMOTEON"));
    const Ms reloaded = sim.events.now();
    sim.events.at(reloaded + 25000, [&] {
        EXPECT_FALSE(form->state().Timer2->enabled());
        EXPECT_TRUE(commandPresent());
        EXPECT_FALSE(form->remoteToggle());
    });
    form->cmdConfig_Click();
    auto history = statuses();
    EXPECT_NE(std::find_if(history.begin(), history.end(),
                           [&](auto& s) { return s.first == reloaded && s.second == "Remote Commands Disabled"; }),
              history.end());
    // The new sequence switches the poll on again; 10 s later it answers.
    EXPECT_TRUE(form->state().Timer2->enabled());
    sim.events.runFor(10000);
    EXPECT_FALSE(commandPresent());
}

TEST_F(RemoteTest, NonRegularCommandFilesAreSilentFailuresAndNeverBlock)
{
    startIdle();
    const std::string logBefore = form->state().DumpString.text();
    TempDir outside;
    outside.write("target.txt", "report");
    const std::string name = exchange.file("command.txt");

    auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        nextPoll();
        EXPECT_EQ(form->state().DumpString.text(), logBefore);
        EXPECT_TRUE(commandPresent());
        EXPECT_TRUE(sim.launcher.launches.empty());
        EXPECT_TRUE(form->state().Timer2->enabled());
        fs::remove_all(name);
    };
    // A pipe with no writer would block a plain open for ever.
    if (plantPipe(name))
        check("fifo");
    fs::create_directory(name);
    exchange.write("command.txt/report", "x");
    check("folder");
    // (wine's links do not show under the name at all: nothing to check there)
    if (plantLink(exchange.file("nowhere"), name) && commandPresent())
        check("dangling link");
    // A link to a real file is not followed either, and the file is left alone.
    if (plantLink(outside.file("target.txt"), name) && commandPresent())
        check("link to a file");
    EXPECT_EQ(outside.read("target.txt"), "report");

    // The poll is still alive.
    command("report");
    nextPoll();
    EXPECT_FALSE(commandPresent());
}

TEST_F(RemoteTest, ResultFileIsReplacedWholeAndNeverThroughAPlantedLink)
{
    startIdle();
    TempDir outside;
    outside.write("precious.txt", "precious");
    const std::string resultName = exchange.file("Result.txt");
    fs::remove(resultName);
    if (plantLink(outside.file("precious.txt"), resultName)) {
        command("report");
        nextPoll();
        EXPECT_EQ(outside.read("precious.txt"), "precious");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(resultName)));
        EXPECT_EQ(result(), form->state().DumpString.text() + "\r\n");
        fs::remove(resultName);
    }

    // A result that cannot be put in place leaves nothing half-written: no
    // temporary files are left behind either.
    fs::create_directories(resultName + "/busy");
    command("report");
    nextPoll();
    EXPECT_TRUE(fs::is_directory(resultName));
    for (const auto& entry : fs::directory_iterator(exchange.path()))
        EXPECT_EQ(entry.path().filename().string(), "Result.txt");
}

TEST(ResultFile, HoldsTheLogAndOneMoreLineEnd)
{
    TempDir dir;
    EXPECT_EQ(resultFilePath(dir.path()), dir.path() + pathSeparator() + "Result.txt");
    writeResultFile(dir.path(), "a\r\nb\r\n");
    EXPECT_EQ(dir.read("Result.txt"), "a\r\nb\r\n\r\n");
    // A killed write's temporary file goes.
    dir.write(".Result.txt.tmp-0a1b2c3d4e", "killed half-way");
    fs::last_write_time(dir.file(".Result.txt.tmp-0a1b2c3d4e"),
                        fs::file_time_type::clock::now() - std::chrono::minutes(2));
    writeResultFile(dir.path(), "");
    EXPECT_EQ(dir.read("Result.txt"), "\r\n");
    EXPECT_FALSE(dir.exists(".Result.txt.tmp-0a1b2c3d4e"));

    ResultFile notCreated(dir.path());
    try {
        notCreated.write("x");
        ADD_FAILURE() << "a write without create succeeded";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code, 52);
    }
    ResultFile missing(dir.file("nowhere"));
    try {
        missing.create();
        ADD_FAILURE() << "created in a missing folder";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code, 76);
    }
    EXPECT_EQ(dir.read("Result.txt"), "\r\n");
}

} // namespace
