// The Win32 adapters on real processes and files inside temporary folders.
// Only the marker task built with the tests is ever started.
#include "base/Failure.h"
#include "platform/win32/CpuUsage.h"
#include "platform/win32/Launcher.h"
#include "platform/win32/Program.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"
#include "settings/ConfigFile.h"
#include "support/Failures.h"
#include "support/FileTricks.h"
#include "support/PostedCalls.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <windows.h>

namespace torv {
namespace {

namespace fs = std::filesystem;
using sim::TempDir;

int codeOf(const std::function<void()>& fn)
{
    return sim::failureCodeOf(fn);
}

std::string markerExe()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (fs::path(self).parent_path() / "marker.exe").string();
}

// Waits (up to 10 s) for a file to get `lines` lines.
std::string waitForLines(const TempDir& dir, const std::string& name, int lines)
{
    for (int i = 0; i < 200; ++i) {
        std::string text = dir.read(name);
        if (std::count(text.begin(), text.end(), '\n') >= lines)
            return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return dir.read(name);
}

TEST(Win32Launcher, StartsTheCommandLineAsGivenWithItsWindowStyle)
{
    TempDir dir;
    const std::string marks = dir.file("marks with space.txt");
    Win32Launcher launcher;
    launcher.run("\"" + markerExe() + "\" \"" + marks + "\" normal", WindowStyle::Normal);
    launcher.run("\"" + markerExe() + "\" \"" + marks + "\" minimized", WindowStyle::Minimized);
    // A NUL byte would cut the line short: refused whole, nothing starts.
    const std::string cut = "\"" + markerExe() + "\" \"" + marks + "\" cut";
    EXPECT_EQ(codeOf([&] { launcher.run(cut + std::string(1, '\0') + " rest", WindowStyle::Normal); }), 5);
    const std::string text = waitForLines(dir, "marks with space.txt", 2);
    EXPECT_EQ(text.find("cut"), std::string::npos) << text;
    EXPECT_NE(text.find("normal "), std::string::npos) << text;
    EXPECT_NE(text.find("show=" + std::to_string(SW_SHOWNORMAL)), std::string::npos) << text;
    EXPECT_NE(text.find("show=" + std::to_string(SW_SHOWMINIMIZED)), std::string::npos) << text;
}

TEST(Win32Launcher, AnAlertGetsItsVariablesInAUtf16Block)
{
    TempDir dir;
    Win32Launcher launcher;
    auto process =
        launcher.startWithEnvironment("\"" + markerExe() + "\" \"" + dir.file("alert.txt") + "\" alert",
                                      {{"TORV_EVENT", "launch-failed"}, {"TORV_MESSAGE", "Gr\u00fc\u00dfe & \"x\""}});
    const std::string text = waitForLines(dir, "alert.txt", 1);
    EXPECT_NE(text.find("event=launch-failed message=Gr\u00fc\u00dfe & \"x\""), std::string::npos) << text;
    EXPECT_NE(text.find("show=" + std::to_string(SW_SHOWMINIMIZED)), std::string::npos) << text;
    // One that would run for ever is ended with its job; the end is reported.
    auto endless = launcher.startWithEnvironment("cmd.exe /c \"for /l %i in (1,0,2) do @rem\"", {});
    sim::PostedCalls loop;
    int status = -1;
    endless->onEnd(loop, [&](int s) { status = s; });
    endless->end();
    loop.waitForEvents();
    EXPECT_EQ(status, 1);
}

TEST(Win32Launcher, SystemErrorsBecomeTheConsolesFailures)
{
    TempDir dir;
    dir.write("notaprogram.exe", "plain text, not a program");
    Win32Launcher launcher;
    EXPECT_EQ(codeOf([&] { launcher.run(dir.file("missing.exe"), WindowStyle::Normal); }), 53);
    EXPECT_EQ(codeOf([&] { launcher.run(dir.file("nofolder\\x.exe") + " arg", WindowStyle::Normal); }), 53);
    EXPECT_EQ(codeOf([&] { launcher.run("", WindowStyle::Normal); }), 5);
    // A file that is no program: an error of its own, neither 53 nor 70.
    const int bad = codeOf([&] { launcher.run(dir.file("notaprogram.exe"), WindowStyle::Normal); });
    EXPECT_NE(bad, 0);
    EXPECT_NE(bad, 53);
    // The mapping itself, for errors a test cannot provoke here.
    for (auto [error, code] : {std::pair<DWORD, int>{ERROR_FILE_NOT_FOUND, 53},
                               {ERROR_PATH_NOT_FOUND, 53},
                               {ERROR_ACCESS_DENIED, 70},
                               {ERROR_BAD_EXE_FORMAT, 193},
                               {53, 53},
                               {62, 75}}) {
        const Failure f = launchFailure(error);
        EXPECT_EQ(f.code, code) << error;
        EXPECT_FALSE(f.description.empty()) << error;
    }
    EXPECT_EQ(launchFailure(ERROR_ACCESS_DENIED).description, "Permission denied");
}

TEST(Win32CpuUsage, DeltasOfTheSystemTimes)
{
    std::deque<Win32CpuUsage::Times> feed{{100, 900}, {170, 930}, {171, 932}, {171, 932}, {50, 10}, {60, 40}};
    auto t = std::chrono::steady_clock::time_point{};
    int intervals = 0;
    Win32CpuUsage cpu(
        [&] {
            auto v = feed.front();
            feed.pop_front();
            return v;
        },
        [&] { ++intervals; }, [&] { return t; });
    EXPECT_EQ(cpu.cpuuse(), 70); // the first sample measures an interval of its own
    t += std::chrono::seconds(2);
    EXPECT_EQ(cpu.cpuuse(), 33);
    t += std::chrono::seconds(2);
    EXPECT_EQ(cpu.cpuuse(), 33); // nothing counted: the last answer stands
    t += std::chrono::seconds(2);
    EXPECT_EQ(cpu.cpuuse(), 33); // counters went down: a fresh base
    t += std::chrono::seconds(2);
    EXPECT_EQ(cpu.cpuuse(), 25);
    EXPECT_EQ(intervals, 1);
}

TEST(Win32CpuUsage, SeesABusyThread)
{
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        volatile unsigned long long x = 0;
        while (!stop)
            x = x + 1;
    });
    Win32CpuUsage cpu;
    cpu.cpuuse();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double loaded = cpu.cpuuse();
    stop = true;
    busy.join();
    // One of N processors fully busy, less what the scheduler takes away.
    const unsigned n = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_GE(loaded, 50.0 / n);
    EXPECT_LE(loaded, 100);
    EXPECT_NE(Win32CpuUsageFactory().create("CPUMON.cpuuse"), nullptr);
    EXPECT_EQ(codeOf([] { Win32CpuUsageFactory().create("cpumon.other"); }), 429);
}

TEST(Win32Files, CommandFileOnlyFromAPlainFile)
{
    TempDir dir;
    dir.write("command.txt", "report\r\n");
    EXPECT_EQ(readRegularFile(dir.file("command.txt"), 4, Links::Refuse), "repo");
    EXPECT_EQ(readRegularFile(dir.file("command.txt"), 1000, Links::Refuse), "report\r\n");
    EXPECT_EQ(codeOf([&] { readRegularFile(dir.file("absent.txt"), 10, Links::Refuse); }), 53);
    EXPECT_EQ(codeOf([&] { readRegularFile(dir.file("nofolder\\command.txt"), 10, Links::Refuse); }), 53);
    EXPECT_TRUE(fileMissing(dir.file("absent.txt")));
    EXPECT_TRUE(fileMissing(dir.file("nofolder\\command.txt")));
    EXPECT_FALSE(fileMissing(dir.file("command.txt")));
    fs::create_directory(dir.file("folder.txt"));
    EXPECT_EQ(codeOf([&] { readRegularFile(dir.file("folder.txt"), 10, Links::Refuse); }), 75);
    EXPECT_EQ(codeOf([&] { readRegularFile("\\\\.\\NUL", 10, Links::Refuse); }), 75);
    EXPECT_EQ(codeOf([&] { readRegularFile(dir.file("NUL"), 10, Links::Refuse); }), 75);
    if (sim::plantLink(dir.file("command.txt"), dir.file("link.txt"))) {
        EXPECT_NE(codeOf([&] { readRegularFile(dir.file("link.txt"), 10, Links::Refuse); }), 0); // never read through
    }
    EXPECT_EQ(codeOf([&] { removeFile(dir.file("absent.txt")); }), 53);
    {
        auto held = sim::makeUndeletable(dir.file("command.txt"));
        ASSERT_TRUE(held);
        EXPECT_EQ(readRegularFile(dir.file("command.txt"), 100, Links::Refuse), "report\r\n"); // still readable
        EXPECT_EQ(codeOf([&] { removeFile(dir.file("command.txt")); }), 70);
    }
    removeFile(dir.file("command.txt"));
    EXPECT_FALSE(dir.exists("command.txt"));
}

TEST(Win32Files, AtomicReplaceKeepsTheOldFileWhenItCannotReplace)
{
    TempDir dir;
    writeFileAtomically(dir.file("Result.txt"), "first\r\n");  // a new file
    writeFileAtomically(dir.file("Result.txt"), "second\r\n"); // replacing it
    EXPECT_EQ(dir.read("Result.txt"), "second\r\n");
    {
        // Someone holds the file open without sharing its deletion.
        auto held = sim::makeUndeletable(dir.file("Result.txt"));
        ASSERT_TRUE(held);
        EXPECT_EQ(codeOf([&] { writeFileAtomically(dir.file("Result.txt"), "third\r\n"); }), 75);
    }
    EXPECT_EQ(dir.read("Result.txt"), "second\r\n");
    fs::create_directory(dir.file("busy.txt"));
    EXPECT_EQ(codeOf([&] { writeFileAtomically(dir.file("busy.txt"), "x"); }), 75);
    EXPECT_EQ(codeOf([&] { writeFileAtomically(dir.file("nofolder\\x.txt"), "x"); }), 76);
    for (const auto& e : fs::directory_iterator(dir.path())) // none of our temporaries left
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

TEST(Win32Files, ConfigIniIsWrittenBackInTheEncodingItWasReadIn)
{
    TempDir dir;
    // "Café Müller" in the ANSI code page of a western system, and in UTF-8.
    const std::string ansiName = "Caf\xE9 M\xFCller", utf8Name = "Caf\xC3\xA9 M\xC3\xBCller";
    const std::string tail = "\r\n30\r\n10\r\nREMOTEOFF\r\nSOUNDOFF\r\nCOMMENTSOFF\r\n";
    if (GetACP() != 1252)
        GTEST_SKIP() << "the system's code page is not 1252";
    for (auto [bytes, wanted] : {std::pair{ansiName, ansiName}, std::pair{utf8Name, utf8Name}}) {
        const std::string path = dir.file("config.ini");
        dir.write("config.ini", "NORM\r\nC:\\" + bytes + "\r\nnotepad.exe" + tail + bytes + "\r\nnotepad.exe\r\n");
        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        readConfig(path, s, t, total);
        EXPECT_EQ(s.ExchangeDir, "C:\\" + utf8Name); // UTF-8 inside
        EXPECT_EQ(t.TaskDesc[1], utf8Name);
        EditorValues v{.LaunchOpt = "NORM",
                       .ExchangeDir = s.ExchangeDir,
                       .UserCmd = "notepad.exe",
                       .InitTimeText = "30",
                       .CheckTimeText = "10"};
        saveConfig(path, v, t);
        const std::string saved = dir.read("config.ini");
        EXPECT_NE(saved.find("C:\\" + wanted + "\r\n"), std::string::npos) << saved;
        EXPECT_NE(saved.find("\r\n" + wanted + "\r\nnotepad.exe\r\n"), std::string::npos) << saved;
    }
}

TEST(Win32Program, FactsOfTheProgramFolder)
{
    Win32Program atRoot("C:\\"), inFolder("D:\\Apps\\TORV"), onShare("\\\\server\\share\\torv");
    EXPECT_EQ(atRoot.driveRoot(), "C:\\");
    EXPECT_EQ(inFolder.driveRoot(), "D:\\");
    EXPECT_EQ(onShare.driveRoot(), "\\\\server\\share\\");
    EXPECT_EQ(inFolder.shutdownCommand(), "shutdown -s -f -t 0");
    EXPECT_EQ(inFolder.restartCommand(), "shutdown -r");
    SetEnvironmentVariableW(L"LOGONSERVER", L"\\\\DC1");
    EXPECT_EQ(inFolder.environment("logonserver"), "\\\\DC1");
    EXPECT_EQ(inFolder.environment("torv_surely_not_set"), std::nullopt);
    // One copy per folder, however the folder is spelt.
    EXPECT_EQ(Win32Program::instanceName("D:\\Apps\\TORV"), Win32Program::instanceName("d:/apps/torv\\"));
    EXPECT_NE(Win32Program::instanceName("D:\\Apps\\TORV"), Win32Program::instanceName("D:\\Apps\\TORV2"));
    TempDir dir;
    auto first = std::make_unique<Win32Program>(dir.path());
    Win32Program second(dir.path()), elsewhere(dir.file("other"));
    EXPECT_FALSE(first->anotherInstanceRunning());
    EXPECT_FALSE(first->anotherInstanceRunning()); // a reload in the same process
    EXPECT_TRUE(second.anotherInstanceRunning());
    EXPECT_FALSE(elsewhere.anotherInstanceRunning());
    first.reset();
    EXPECT_FALSE(second.anotherInstanceRunning());
}

} // namespace
} // namespace torv
