// Full and broken disks, and writers killed half-way. Runs with faultshim
// preloaded: each case makes the N-th write, fsync, rename or file creation
// fail, for N = 1, 2, ... until the operation no longer reaches an N-th call,
// and checks what a user would find afterwards: the old file byte-identical, no
// temporary file left behind, the console still running.
#include "base/Failure.h"
#include "remote/ResultFile.h"
#include "settings/ConfigFile.h"
#include "support/ConsoleFixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>

using namespace torv;
using namespace torv::sim;
namespace fs = std::filesystem;

namespace {

int faultsFired()
{
    using Fired = int (*)();
    static auto fired = reinterpret_cast<Fired>(dlsym(RTLD_DEFAULT, "torv_fault_fired"));
    return fired ? fired() : -1;
}

// Arms the shim for one case; disarms when it goes.
struct Fault {
    Fault(const std::string& dir, const char* op, long nth, const char* err)
    {
        setenv("TORV_FAULT_DIR", dir.c_str(), 1);
        setenv("TORV_FAULT_OP", op, 1);
        setenv("TORV_FAULT_NTH", std::to_string(nth).c_str(), 1);
        setenv("TORV_FAULT_ERRNO", err, 1);
    }
    ~Fault()
    {
        for (const char* v : {"TORV_FAULT_DIR", "TORV_FAULT_OP", "TORV_FAULT_NTH", "TORV_FAULT_ERRNO"})
            unsetenv(v);
    }
};

std::set<std::string> names(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(faultsFired(), 0) << "the fault shim is not loaded (LD_PRELOAD=libtorv_faultshim.so)";
    }

    struct Operation {
        std::function<void(const TempDir&)> prepare;
        // True when the operation reports a failure (by a Failure or its result).
        std::function<bool(const TempDir&)> run;
        // What the folder must hold after a failure, and after a success.
        std::function<void(const TempDir&)> afterFailure, afterSuccess;
    };

    // Every call kind, both errors, every N the operation reaches.
    void sweep(const Operation& op)
    {
        for (const char* kind : {"create", "write", "fsync", "rename"}) {
            for (const char* err : {"ENOSPC", "EIO"}) {
                int failures = 0;
                for (long nth = 1;; ++nth) {
                    SCOPED_TRACE(std::string(kind) + " #" + std::to_string(nth) + " " + err);
                    TempDir dir;
                    op.prepare(dir);
                    bool failed = false;
                    int fired = 0;
                    {
                        Fault fault(dir.path(), kind, nth, err);
                        try {
                            failed = op.run(dir);
                        } catch (const Failure&) {
                            failed = true;
                        }
                        fired = faultsFired();
                    }
                    if (fired == 0) {
                        // Past the last call of this kind: the operation succeeds.
                        EXPECT_FALSE(failed);
                        op.afterSuccess(dir);
                        break;
                    }
                    EXPECT_TRUE(failed) << "a failed call was reported as success";
                    op.afterFailure(dir);
                    ++failures;
                    ASSERT_LT(nth, 50) << "the operation never stops calling";
                }
                // Each writer creates, writes, syncs and renames at least once.
                EXPECT_GE(failures, 1) << kind << " " << err << " never reached";
            }
        }
    }
};

const std::string kOldConfig = configLines(
    {"NORM", "/srv/old", "old.sh", "12", "7", "REMOTEON", "SOUNDOFF", "COMMENTSOFF", "Old task", "old-task.sh"});

TEST_F(FaultTest, SettingsSaveFailsCleanly)
{
    EditorValues values{"MIN", "/srv/new", "new.sh", "5", "6", true, true, false};
    TaskTable tasks;
    tasks.TaskDesc[1] = "New, with a comma";
    tasks.TaskLoc[1] = std::string(100000, 'x'); // several writes' worth
    sweep({[](const TempDir& d) { d.write("config.ini", kOldConfig); },
           [&](const TempDir& d) {
               saveConfig(d.file("config.ini"), values, tasks);
               return false;
           },
           [](const TempDir& d) {
               EXPECT_EQ(d.read("config.ini"), kOldConfig);
               EXPECT_EQ(names(d.path()), std::set<std::string>{"config.ini"});
           },
           [&](const TempDir& d) {
               EXPECT_EQ(d.read("config.ini"), formatConfig(values, tasks));
               EXPECT_EQ(names(d.path()), std::set<std::string>{"config.ini"});
           }});
}

TEST_F(FaultTest, DefaultFileAndBackupFailCleanly)
{
    const std::string damaged = configLines({"NORM", "/srv", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSOFF", "x"});
    const std::string olderBackup = "an older backup\r\n";
    sweep({[&](const TempDir& d) {
               d.write("config.ini", damaged);
               d.write("config.ini.bak", olderBackup);
           },
           [](const TempDir& d) { return !replaceWithDefault(d.file("config.ini")).empty(); },
           [&](const TempDir& d) {
               EXPECT_EQ(d.read("config.ini"), damaged);
               // The backup is the older one or a whole copy, never a part.
               const std::string bak = d.read("config.ini.bak");
               EXPECT_TRUE(bak == olderBackup || bak == damaged) << "config.ini.bak holds " << bak.size() << " bytes";
               EXPECT_EQ(names(d.path()), (std::set<std::string>{"config.ini", "config.ini.bak"}));
           },
           [&](const TempDir& d) {
               EXPECT_EQ(d.read("config.ini"), defaultConfigText());
               EXPECT_EQ(d.read("config.ini.bak"), damaged);
               EXPECT_EQ(names(d.path()), (std::set<std::string>{"config.ini", "config.ini.bak"}));
           }});
}

TEST_F(FaultTest, ResultFileFailsCleanly)
{
    const std::string oldResult = "an earlier log\r\n\r\n";
    const std::string log = "Seuquence Init\r\n" + std::string(200000, 'L') + "\r\n";
    sweep({[&](const TempDir& d) { d.write("Result.txt", oldResult); },
           [&](const TempDir& d) {
               writeResultFile(d.path(), log);
               return false;
           },
           [&](const TempDir& d) {
               EXPECT_EQ(d.read("Result.txt"), oldResult);
               EXPECT_EQ(names(d.path()), std::set<std::string>{"Result.txt"});
           },
           [&](const TempDir& d) {
               EXPECT_EQ(d.read("Result.txt"), log + "\r\n");
               EXPECT_EQ(names(d.path()), std::set<std::string>{"Result.txt"});
           }});
}

// The console itself: a full disk under the exchange folder or the program
// folder costs one answer or the default file, never the console.
class ConsoleFaultTest : public ConsoleTest {
protected:
    void SetUp() override { ASSERT_GE(faultsFired(), 0) << "the fault shim is not loaded"; }
};

TEST_F(ConsoleFaultTest, FullExchangeFolderCostsOneAnswerAndThePollGoesOn)
{
    writeConfig({.initTime = "1"});
    ASSERT_FALSE(start());
    const std::string afterSequence = exchange.read("Result.txt");
    exchange.write("command.txt", "report\r\n");
    {
        Fault fault(exchange.path(), "write", 1, "ENOSPC");
        sim.events.runUntil(10000);
        EXPECT_EQ(faultsFired(), 1);
    }
    // Carried out, but the answer could not be written: the old result stays
    // whole, the command is gone (never carried out twice), the log says why.
    EXPECT_EQ(exchange.read("Result.txt"), afterSequence);
    EXPECT_EQ(names(exchange.path()), std::set<std::string>{"Result.txt"});
    EXPECT_TRUE(logLines().back().starts_with("Result.txt Not Written: 75 ")) << logLines().back();
    EXPECT_TRUE(form->state().Timer2->enabled());
    exchange.write("command.txt", "report\r\n");
    sim.events.runUntil(20000);
    EXPECT_EQ(names(exchange.path()), std::set<std::string>{"Result.txt"});
    EXPECT_EQ(exchange.read("Result.txt"), form->state().DumpString.text() + "\r\n");
}

TEST_F(ConsoleFaultTest, DefaultFileThatCannotBeWrittenStillStopsInOrder)
{
    const std::string shortFile = configLines({"NORM", "x", "", "5"});
    writeConfigText(shortFile);
    {
        Fault fault(dir.path(), "rename", 1, "EIO");
        EXPECT_FALSE(start());
        EXPECT_EQ(faultsFired(), 1);
    }
    EXPECT_EQ(dir.read("config.ini"), shortFile);
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "Abnormal Stop:62 Input past end of file");
    EXPECT_EQ(sim.view.logBox.substr(0, std::string(kAbnormalStopText).size()), kAbnormalStopText);
    for (const std::string& name : names(dir.path()))
        EXPECT_TRUE(name == "config.ini" || name == "config.ini.bak" || name == "comments.txt") << name;
    // Still running: the Clear button works.
    form->cmdClear_Click();
    EXPECT_EQ(sim.view.logBox, "");
}

// One generation of config.ini for the killed-writer test: ~80 KB, so a save
// takes many writes and a kill can land inside one.
std::pair<EditorValues, TaskTable> generation(long g)
{
    EditorValues v{"NORM", "/srv/gen" + std::to_string(g), "cmd " + std::to_string(g), "5", "6", true, false, false};
    TaskTable t;
    for (int i = 1; i <= 20; ++i) {
        t.TaskDesc[i] = "task " + std::to_string(i) + " of generation " + std::to_string(g);
        t.TaskLoc[i] = std::string(4000, static_cast<char>('a' + g % 26));
    }
    return {v, t};
}

// The writer: a child process saving generation after generation until it is
// killed.
[[noreturn]] void saveForever(const std::string& path, long first)
{
    for (long g = first;; ++g) {
        auto [v, t] = generation(g);
        try {
            saveConfig(path, v, t);
        } catch (const Failure&) {
            _exit(3);
        }
    }
}

// A writer killed at any moment leaves one whole generation of config.ini.
TEST(KilledSave, ConfigIsAlwaysOneWholeGeneration)
{
    // In memory where the machine offers it: a kill can only land between two
    // system calls, and without waiting for the disk many more saves happen
    // between two kills.
    const char* oldTmp = getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    if (access("/dev/shm", W_OK) == 0)
        setenv("TMPDIR", "/dev/shm", 1);
    TempDir dir;
    if (oldTmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    const std::string path = dir.file("config.ini");
    {
        auto [v, t] = generation(0);
        saveConfig(path, v, t);
    }
    std::mt19937 rng(12345);
    std::set<long> seen;
    const int kills = 300;
    for (int round = 0; round < kills; ++round) {
        // The random moment counts from the writer's start, not from the fork:
        // on a busy machine a new process may wait long to be scheduled.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            const char go = 1;
            (void)!write(ready[1], &go, 1);
            close(ready[1]);
            saveForever(path, (round + 1) * 1000000L);
        }
        close(ready[1]);
        char go = 0;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        close(ready[0]);
        usleep(std::uniform_int_distribution<useconds_t>(0, 5000)(rng));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << WEXITSTATUS(status);

        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        ASSERT_NO_THROW(readConfig(path, s, t, total)) << "round " << round;
        ASSERT_EQ(s.ExchangeDir.rfind("/srv/gen", 0), 0u) << s.ExchangeDir;
        const long g = std::stol(s.ExchangeDir.substr(8));
        auto [ev, et] = generation(g);
        ASSERT_EQ(dir.read("config.ini"), formatConfig(ev, et)) << "round " << round << ", generation " << g;
        seen.insert(g);
        // A killed writer leaves its temporary file; clearing it away here
        // keeps the forked writers (which draw the same temporary names) from
        // running out of names. Start-up's own clean-up is tested elsewhere.
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename() != "config.ini")
                fs::remove(e.path());
    }
    // The kills landed at many different moments, not all before the first save.
    EXPECT_GT(seen.size(), kills / 10u);
}

} // namespace
