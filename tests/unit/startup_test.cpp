// Start-up's paths: the settings file's states, the first run, the abnormal
// stop, the comment line, the caption and the single instance.
#include "settings/ConfigFile.h"
#include "support/ConsoleFixture.h"
#include "support/FileTricks.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <functional>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class StartupTest : public ConsoleTest {
protected:
    // The buttons by caption (U is the user-defined one), + enabled, - disabled.
    std::string enabledControls() const
    {
        const std::pair<Control, const char*> all[] = {
            {Control::cmdEdit, "E"},  {Control::cmdRestart, "R"}, {Control::cmdClear, "S"},  {Control::cmdTray, "_"},
            {Control::Command8, "U"}, {Control::cmdConfig, "C"},  {Control::chkRemote, "Z"}, {Control::Chart, "M"}};
        std::string out;
        for (const auto& [control, caption] : all)
            out += std::string(out.empty() ? "" : " ") + caption + (sim.view.isEnabled(control) ? "+" : "-");
        return out;
    }

    // An editor that saves a short valid file and asks for a restart.
    std::function<void()> saveAndRestart(const std::string& launchOpt = "NORM")
    {
        return savingAndRestarting({.launchOpt = launchOpt, .initTime = "2", .checkTime = "1", .tasks = {{"T", "t"}}});
    }
};

TEST_F(StartupTest, NoSettingsFileTakesTheFirstRunPath)
{
    sim.dialogs.editorScript.push_back([&] {
        // The editor sees the first-run values while the window is still hidden.
        EXPECT_FALSE(sim.view.visible);
        EXPECT_EQ(form->state().settings.LaunchOpt, "NORM");
        EXPECT_EQ(form->state().settings.ExchangeDir, sim.program.driveRoot());
        EXPECT_EQ(form->state().settings.InitTime, 30);
        EXPECT_EQ(form->state().settings.CheckTime, 10);
        EXPECT_EQ(form->state().settings.RemoteOpt, "REMOTEON");
        EXPECT_EQ(form->state().settings.Sounds, "SOUNDON");
        EXPECT_EQ(form->state().settings.UserComment, "COMMENTSOFF");
        EXPECT_EQ(form->state().tasks.TaskDesc[1], "running notepad");
        EXPECT_EQ(form->state().tasks.TaskLoc[1], "notepad.exe");
        EXPECT_TRUE(form->state().FirstCancel);
        saveAndRestart()();
    });
    EXPECT_FALSE(start());
    EXPECT_EQ(sim.dialogs.editorOpenings, 1);
    EXPECT_TRUE(dir.exists("comments.txt"));
    // The restart ran the saved settings.
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].commandLine, "t");
    EXPECT_TRUE(form->state().FirstCancel);
}

TEST_F(StartupTest, ClosingTheFirstRunEditorWithoutSavingShowsItAgain)
{
    sim.dialogs.editorScript.push_back([] {}); // the close box: neither saved nor cancelled
    sim.dialogs.editorScript.push_back(saveAndRestart());
    start();
    EXPECT_EQ(sim.dialogs.editorOpenings, 2);
    EXPECT_EQ(sim.launcher.launches.size(), 1u);
}

TEST_F(StartupTest, FirstRunMarkerStartsTheFirstRunWithoutReplacingTheFile)
{
    writeConfigText("FIRSTRUN\r\n");
    sim.dialogs.editorScript.push_back([&] { EXPECT_EQ(dir.read("config.ini"), "FIRSTRUN\r\n"); });
    sim.dialogs.editorScript.push_back(saveAndRestart());
    start();
    EXPECT_EQ(sim.dialogs.editorOpenings, 2);
    EXPECT_FALSE(dir.exists("config.ini.bak"));
}

TEST_F(StartupTest, ShortFileIsReplacedByTheDefaultAndKeptAsBackup)
{
    const std::string nine = configLines({"NORM", "x", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSOFF", "lonely"});
    writeConfigText(nine);
    EXPECT_FALSE(start());
    EXPECT_EQ(dir.read("config.ini"), defaultConfigText());
    EXPECT_EQ(dir.read("config.ini.bak"), nine);
    EXPECT_EQ(sim.view.logBox, kAbnormalStopText);
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "Abnormal Stop:62 Input past end of file");
    // No sequence, no timers, the buttons as they were.
    EXPECT_TRUE(sim.launcher.launches.empty());
    EXPECT_FALSE(form->state().Timer1->enabled());
    // The view starts every control enabled, as real widgets do: what is off
    // here was switched off by the console at creation and stayed so.
    EXPECT_EQ(enabledControls(), "E- R- S+ _- U+ C+ Z- M+");
    EXPECT_TRUE(dir.exists("comments.txt"));
}

TEST_F(StartupTest, AnUnwritableBackupIsNamedAndTheFileKept)
{
    const std::string nine = configLines({"NORM", "x", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSOFF", "lonely"});
    writeConfigText(nine);
    std::filesystem::create_directory(dir.file("config.ini.bak"));
    EXPECT_FALSE(start());
    EXPECT_EQ(dir.read("config.ini"), nine);
    EXPECT_EQ(sim.view.logBox, std::string(kAbnormalStopText) + "\r\nCould not write " + dir.file("config.ini.bak") +
                                   ": config.ini was left as it was.");
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "Abnormal Stop:62 Input past end of file");
}

TEST_F(StartupTest, StartUpClearsOnlyOurOwnStaleTemporaries)
{
    writeConfig({});
    const std::vector<std::string> ours = {".config.ini.tmp-0a1b2c3d4e", ".config.ini.bak.tmp-zz00zz00zz",
                                           ".torv.ini.tmp-0a1b2c3d4e"};
    const std::vector<std::string> others = {".config.ini.tmp-keep", ".comments.txt.tmp-0a1b2c3d4e",
                                             "config.ini.tmp-0a1b2c3d4e", ".config.ini.tmp-new0000000"};
    for (const auto& names : {ours, others})
        for (const std::string& name : names) {
            dir.write(name, "left by a killed write");
            // A minute old, but for one that --write-config may be writing now.
            if (name != others.back())
                std::filesystem::last_write_time(dir.file(name), std::filesystem::file_time_type::clock::now() -
                                                                     std::chrono::seconds(61));
        }
    start();
    for (const std::string& name : ours)
        EXPECT_FALSE(dir.exists(name)) << name;
    for (const std::string& name : others)
        EXPECT_TRUE(dir.exists(name)) << name;
}

TEST_F(StartupTest, TooManyTasksStopsWithoutTouchingTheFile)
{
    std::vector<std::string> lines = {"NORM", "x", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSOFF"};
    for (int i = 1; i <= 101; ++i) {
        lines.push_back("task " + std::to_string(i));
        lines.push_back("prog" + std::to_string(i));
    }
    writeConfigText(configLines(lines));
    const std::string before = dir.read("config.ini");
    start();
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "Abnormal Stop:9 Subscript out of range");
    EXPECT_EQ(dir.read("config.ini"), before);
    EXPECT_FALSE(dir.exists("config.ini.bak"));
    // The stop's text speaks of default values; the next line says none were written.
    EXPECT_EQ(sim.view.logBox,
              std::string(kAbnormalStopText) + "\r\nNothing was written: config.ini was left as it was.");
}

TEST_F(StartupTest, TimeOutsideSixteenBitsIsAnOrderlyAbnormalStop)
{
    writeConfig({.initTime = "40000"});
    const std::string before = dir.read("config.ini");
    start();
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "Abnormal Stop:6 Overflow");
    EXPECT_EQ(dir.read("config.ini"), before);
    EXPECT_THAT(sim.view.logBox, ::testing::EndsWith("\r\nNothing was written: config.ini was left as it was."));
}

TEST_F(StartupTest, PlantedSettingsAndCommentsFilesStopStartUpAndAreLeftAsTheyAre)
{
    // A pipe would hang start-up in its open, a device or an endless file would
    // grow memory until the program aborts; each must be an abnormal stop that
    // neither backs the file up nor replaces it with the default file.
    struct Case {
        const char* what;
        const char* file;
        std::function<bool(const std::string&)> plant; // false: the platform has no such thing
    };
    const std::vector<Case> cases = {
        {"config fifo", "config.ini", sim::plantPipe},
        {"config device", "config.ini", sim::plantDevice},
        {"config too large", "config.ini",
         [](const std::string& p) {
             std::ofstream{p};
             std::filesystem::resize_file(p, kConfigReadLimit + 1);
             return true;
         }},
        {"comments fifo", "comments.txt", sim::plantPipe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimConsole console;
        const std::string path = console.dir.file(c.file);
        if (std::string(c.file) == "comments.txt")
            console.dir.write("config.ini",
                              configLines({"NORM", "x", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSON"}));
        if (!c.plant(path))
            continue;
        const auto typeBefore = std::filesystem::symlink_status(path).type();
        {
            const auto guard = sim::endIfStuck(10);
            console.form->Form_Load();
        }
        ASSERT_EQ(console.sim.dialogs.messages.size(), 1u);
        EXPECT_EQ(console.sim.dialogs.messages[0].text, "Abnormal Stop:75 Path/File access error");
        EXPECT_EQ(console.sim.dialogs.editorOpenings, 0);
        EXPECT_EQ(std::filesystem::symlink_status(path).type(), typeBefore);
        EXPECT_FALSE(console.dir.exists("config.ini.bak"));
        EXPECT_TRUE(console.sim.launcher.launches.empty());
    }
}

// PowerShell 5's ">" and Out-File write UTF-16 LE with a mark, Notepad may add
// a UTF-8 mark: either way the text inside is UTF-8 without the mark.
std::string utf16le(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text)
        bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

const std::string kMarkedConfig = configLines({"NORM", "x", "", "3", "1", "REMOTEOFF", "SOUNDON", "COMMENTSON"});

TEST_F(StartupTest, ByteOrderMarksAreNotPartOfTheSettingsOrTheCommentLine)
{
    dir.write("comments.txt", "\xEF\xBB\xBFNeue USV f\xC3\xBCr Z\xC3\xBCrich\r\n");
    writeConfigText("\xEF\xBB\xBF" + kMarkedConfig);
    EXPECT_FALSE(start());
    EXPECT_EQ(form->state().settings.LaunchOpt, "NORM");
    EXPECT_EQ(form->state().CommentLine, "Neue USV f\xC3\xBCr Z\xC3\xBCrich");
}

TEST_F(StartupTest, Utf16SettingsAndCommentsFilesAreReadAsText)
{
    dir.write("comments.txt", utf16le(u"Neue USV f\u00FCr Z\u00FCrich\r\nsecond\r\n"));
    writeConfigText(utf16le(std::u16string(kMarkedConfig.begin(), kMarkedConfig.end())));
    EXPECT_FALSE(start());
    EXPECT_EQ(form->state().settings.LaunchOpt, "NORM");
    EXPECT_EQ(form->state().settings.UserComment, "COMMENTSON");
    EXPECT_EQ(form->state().CommentLine, "Neue USV f\xC3\xBCr Z\xC3\xBCrich");
}

TEST_F(StartupTest, EightLinesRunASequenceWithNoTask)
{
    writeConfig({.initTime = "2"});
    EXPECT_FALSE(start());
    EXPECT_EQ(form->state().TotalApps, 0);
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_THAT(sim.sound.names(), ElementsAre("START.wav", "done.wav", "finished.wav"));
}

TEST_F(StartupTest, CuesNeedSoundOnExactly)
{
    writeConfig({.initTime = "1", .sounds = "soundon", .tasks = {{"A", "a"}}});
    start();
    EXPECT_TRUE(sim.sound.cues.empty());
    EXPECT_EQ(sim.launcher.launches.size(), 1u);
}

TEST_F(StartupTest, CommentLineShowsAboveTheLogDuringTheCountdown)
{
    dir.write("comments.txt", "Backup disk swapped Monday\r\nsecond line\r\n");
    writeConfig({.initTime = "3", .comments = "commentson"});
    sim.events.at(1000, [&] { EXPECT_EQ(sim.view.logBox, "Backup disk swapped Monday\r\nSeuquence Init\r\n"); });
    start();
    EXPECT_EQ(form->state().CommentLine, "Backup disk swapped Monday");
    // The start announcement shows the log itself again.
    EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
    EXPECT_EQ(dir.read("comments.txt"), "Backup disk swapped Monday\r\nsecond line\r\n");
}

TEST_F(StartupTest, CommentLinesUpTo64KiBAreShownWhole)
{
    // The comment line comes from the first 64 KiB of the file; a longer line
    // is cut there, and what follows the first line is never needed.
    struct Case {
        std::size_t length, shown;
    };
    for (const Case c : {Case{300, 300}, Case{65536, 65536}, Case{70000, 65536}}) {
        SCOPED_TRACE(c.length);
        SimConsole console;
        const std::string line(c.length, 'c');
        console.dir.write("comments.txt", line + "\r\nsecond line\r\n");
        console.dir.write("config.ini", configLines({"NORM", console.exchange.path(), "", "1", "1", "REMOTEOFF",
                                                     "SOUNDOFF", "COMMENTSON"}));
        console.form->Form_Load();
        EXPECT_TRUE(console.sim.dialogs.messages.empty());
        EXPECT_EQ(console.form->state().CommentLine, line.substr(0, c.shown));
    }
}

TEST_F(StartupTest, EmptyCommentsFileShowsAnEmptyLineAndCarriesOn)
{
    dir.write("comments.txt", "");
    writeConfig({.initTime = "3", .comments = "COMMENTSON"});
    const std::string config = dir.read("config.ini");
    sim.events.at(1000, [&] { EXPECT_EQ(sim.view.logBox, "\r\nSeuquence Init\r\n"); });
    EXPECT_FALSE(start());
    EXPECT_EQ(dir.read("config.ini"), config);
    EXPECT_TRUE(sim.dialogs.messages.empty());
}

TEST_F(StartupTest, CommentsOnWithoutAFileTakesTheFirstRunPath)
{
    writeConfig({.initTime = "3", .comments = "COMMENTSON"});
    sim.dialogs.editorScript.push_back(saveAndRestart());
    start();
    EXPECT_EQ(sim.dialogs.editorOpenings, 1);
    EXPECT_TRUE(dir.exists("comments.txt"));
    EXPECT_EQ(dir.read("comments.txt"), "");
}

TEST_F(StartupTest, CaptionCarriesServerStampAndVersion)
{
    writeConfig({.initTime = "1"});
    start();
    EXPECT_EQ(sim.view.caption, "TORV       2612070905 Version:2.2.8");

    sim.program.env["LogonServer"] = "\\\\DC01";
    form->cmdRestart_Click();
    EXPECT_EQ(sim.view.caption, "TORV   \\\\DC01    2612070905 Version:2.2.8");
    EXPECT_EQ(sim.view.left, 100);
    EXPECT_EQ(sim.view.top, 100);
}

TEST_F(StartupTest, SecondInstanceEndsAtOnceWithoutAMessage)
{
    writeConfig({});
    sim.program.otherInstance = true;
    EXPECT_TRUE(start());
    EXPECT_TRUE(sim.view.caption.empty());
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_FALSE(sim.view.visible);
}

TEST_F(StartupTest, FailingButtonsSayWhy)
{
    writeConfig({.userCmd = "tool --go", .initTime = "1"});
    start();
    sim.launcher.failing["tool --go"] = {53, "File not found"};
    form->Command8_Click();
    sim.launcher.failing["edit " + form->configPath()] = {70, "Permission denied"};
    form->cmdEdit_Click();
    // A line with a NUL byte is refused whole, never launched cut short, and
    // the box shows the NUL rather than end its text there.
    form->state().settings.UserCmd = std::string("tool\0--go", 9);
    form->Command8_Click();
    ASSERT_EQ(sim.dialogs.messages.size(), 3u);
    // Code and description, then what failed, so that a person can mend it.
    EXPECT_EQ(sim.dialogs.messages[0].text, "53 File not found\nCommand line: tool --go");
    EXPECT_EQ(sim.dialogs.messages[1].text, "70 Permission denied\nCommand line: " + form->configPath());
    EXPECT_EQ(sim.dialogs.messages[2].text, "5 Invalid procedure call or argument\nCommand line: tool\\0--go");
}

} // namespace
