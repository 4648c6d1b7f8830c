// The atomic writer's commit on scripted steps: the order of the steps and
// what a failure at each one leaves behind, the same for every platform.
#include "base/AtomicCommit.h"
#include "support/Failures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace torv {
namespace {

using Creation = FileCommitSteps::Creation;

// Steps that record what they were asked and fail where told.
struct Script {
    std::vector<Creation> creations; // answers to createNew, one per call; the last repeats
    bool folder = true, inPlaceOpens = true;
    std::string failAt;             // truncate, write, flush, close or replace
    std::vector<std::string> calls; // step names, in order
    std::set<std::string> files;    // temporary files made and not removed
};

class ScriptedSteps : public FileCommitSteps {
public:
    explicit ScriptedSteps(Script& s) : s_(s) {}
    std::string destination(const std::string& target) override { return target; }
    bool folderExists(const std::string&) override { return s_.folder; }
    std::string temporaryStem(const std::string& destination) override { return destination + ".tmp-"; }
    int createNew(const std::string& path, Creation& creation) override
    {
        creation = s_.creations[std::min(created_++, s_.creations.size() - 1)];
        s_.calls.push_back("create");
        if (creation != Creation::Created)
            return -1;
        s_.files.insert(path);
        return 7;
    }
    int openInPlace(const std::string&) override { return step("inPlace") && s_.inPlaceOpens ? 8 : -1; }
    bool truncate(int) override { return step("truncate"); }
    bool writeAll(int, const std::string&) override { return step("write"); }
    bool flushToDisk(int) override { return step("flush"); }
    bool closeFile(int) override { return step("close"); }
    bool replace(const std::string& temporary, const std::string&) override
    {
        s_.files.erase(temporary);
        return step("replace");
    }
    void remove(const std::string& path) noexcept override
    {
        s_.calls.push_back("remove");
        s_.files.erase(path);
    }

private:
    bool step(const std::string& name)
    {
        s_.calls.push_back(name);
        return name != s_.failAt;
    }
    Script& s_;
    std::size_t created_ = 0;
};

// create + write, as writeFileAtomically does; the failure's code or 0.
int commit(Script& s)
{
    AtomicCommit c("/x/config.ini", std::make_unique<ScriptedSteps>(s));
    return sim::failureCodeOf([&] {
        c.create();
        c.write("text");
    });
}

TEST(AtomicCommit, EveryFailedStepLeavesNoTemporaryFileAndSays75)
{
    struct Case {
        std::string failAt;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"", {"create", "write", "flush", "close", "replace"}},
        {"write", {"create", "write", "close", "remove"}},
        {"flush", {"create", "write", "flush", "close", "remove"}},
        // A close that fails may have lost the text: never renamed into place.
        {"close", {"create", "write", "flush", "close", "remove"}},
        {"replace", {"create", "write", "flush", "close", "replace", "remove"}},
    };
    for (const Case& c : cases) {
        Script s{.creations = {Creation::Created}, .failAt = c.failAt};
        EXPECT_EQ(commit(s), c.failAt.empty() ? 0 : 75) << c.failAt;
        EXPECT_EQ(s.calls, c.calls) << c.failAt;
        EXPECT_TRUE(s.files.empty()) << c.failAt;
    }
}

TEST(AtomicCommit, CreationRetriesTakenNamesAndWritesInPlaceOnlyWhereDenied)
{
    Script taken{.creations = {Creation::NameTaken, Creation::NameTaken, Creation::Created}};
    EXPECT_EQ(commit(taken), 0);
    EXPECT_EQ(std::count(taken.calls.begin(), taken.calls.end(), "create"), 3);

    Script alwaysTaken{.creations = {Creation::NameTaken}};
    EXPECT_EQ(commit(alwaysTaken), 75);
    EXPECT_EQ(alwaysTaken.calls, std::vector<std::string>(16, "create")); // and no write in place

    Script denied{.creations = {Creation::Denied}};
    EXPECT_EQ(commit(denied), 0);
    EXPECT_EQ(denied.calls, (std::vector<std::string>{"create", "inPlace", "truncate", "write", "flush", "close"}));
    Script deniedNoFile{.creations = {Creation::Denied}, .inPlaceOpens = false};
    EXPECT_EQ(commit(deniedNoFile), 75);
    Script deniedTruncateFails{.creations = {Creation::Denied}, .failAt = "truncate"};
    EXPECT_EQ(commit(deniedTruncateFails), 75);
    EXPECT_EQ(deniedTruncateFails.calls.back(), "close"); // the target itself is never removed

    Script failed{.creations = {Creation::Failed}};
    EXPECT_EQ(commit(failed), 75);
    EXPECT_EQ(failed.calls, std::vector<std::string>{"create"});

    Script noFolder{.creations = {Creation::Created}, .folder = false};
    EXPECT_EQ(commit(noFolder), 76);
    EXPECT_TRUE(noFolder.calls.empty());
}

TEST(AtomicCommit, WriteWithoutCreateIs52AndCloseRemovesAnUnwrittenFile)
{
    Script s{.creations = {Creation::Created}};
    {
        AtomicCommit c("/x/Result.txt", std::make_unique<ScriptedSteps>(s));
        EXPECT_EQ(sim::failureCodeOf([&] { c.write("x"); }), 52);
        c.create();
        EXPECT_EQ(s.files.size(), 1u);
    } // closed unwritten by its end
    EXPECT_TRUE(s.files.empty());
    EXPECT_EQ(s.calls, (std::vector<std::string>{"create", "close", "remove"}));
}

} // namespace
} // namespace torv
