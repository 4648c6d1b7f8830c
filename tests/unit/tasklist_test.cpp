// The editor's table shifts and its small rules, without widgets.
#include "editor/EditorRules.h"
#include "editor/TaskListEdit.h"

#include <gtest/gtest.h>

using namespace torv;

namespace {

TaskTable tableOf(std::initializer_list<std::pair<int, const char*>> slots)
{
    TaskTable t;
    for (auto [i, name] : slots) {
        t.TaskDesc[i] = std::string("d-") + name;
        t.TaskLoc[i] = std::string("l-") + name;
    }
    return t;
}

} // namespace

TEST(TaskListEdit, InsertMovesEveryUsedSlotAboveUpOne)
{
    // A description without a location is still something the operator typed.
    TaskTable t = tableOf({{1, "a"}, {2, "b"}, {3, "c"}});
    t.TaskDesc[5] = "half made";
    TaskListEdit edit(t);
    EXPECT_EQ(edit.highestUsedSlot(), 5);
    ASSERT_TRUE(edit.insertAt(2));
    EXPECT_EQ(t.TaskDesc[1], "d-a");
    EXPECT_EQ(t.TaskDesc[2], "");
    EXPECT_EQ(t.TaskLoc[2], "");
    EXPECT_EQ(t.TaskLoc[3], "l-b");
    EXPECT_EQ(t.TaskLoc[4], "l-c");
    EXPECT_EQ(t.TaskDesc[6], "half made");
    EXPECT_EQ(t.TaskLoc[6], "");
    // A second insertion, with the count of the last reading long stale, still keeps all.
    ASSERT_TRUE(edit.insertAt(1));
    EXPECT_EQ(t.TaskLoc[2], "l-a");
    EXPECT_EQ(t.TaskLoc[5], "l-c");
    EXPECT_EQ(t.TaskDesc[7], "half made");
}

TEST(TaskListEdit, InsertIntoAFullTableRefusesAndMovesNothing)
{
    TaskTable t = tableOf({{1, "a"}, {100, "z"}});
    const TaskTable before = t;
    TaskListEdit edit(t);
    EXPECT_FALSE(edit.insertAt(1));
    EXPECT_FALSE(edit.insertAt(100));
    EXPECT_EQ(t.TaskDesc, before.TaskDesc);
    EXPECT_EQ(t.TaskLoc, before.TaskLoc);
    // Slot 100 free again: inserting at 99 moves its task to the last slot.
    t = tableOf({{99, "y"}});
    ASSERT_TRUE(TaskListEdit(t).insertAt(99));
    EXPECT_EQ(t.TaskLoc[100], "l-y");
    EXPECT_EQ(t.TaskLoc[99], "");
}

TEST(TaskListEdit, DeleteClosesTheGapAndEmptiesTheTopSlot)
{
    TaskTable t = tableOf({{1, "a"}, {2, "b"}, {4, "d"}});
    TaskListEdit edit(t);
    edit.deleteAt(3); // an empty slot inside the list is removed too
    EXPECT_EQ(t.TaskLoc[3], "l-d");
    EXPECT_EQ(t.TaskLoc[4], "");
    edit.deleteAt(1);
    EXPECT_EQ(t.TaskLoc[1], "l-b");
    EXPECT_EQ(t.TaskLoc[2], "l-d");
    EXPECT_EQ(edit.highestUsedSlot(), 2);
    // Above the last task nothing moves.
    const TaskTable before = t;
    edit.deleteAt(50);
    EXPECT_EQ(t.TaskLoc, before.TaskLoc);

    TaskTable full = tableOf({{99, "y"}, {100, "z"}});
    TaskListEdit(full).deleteAt(100);
    EXPECT_EQ(full.TaskLoc[99], "l-y");
    EXPECT_EQ(full.TaskLoc[100], "");
    EXPECT_EQ(full.TaskDesc[100], "");
}

TEST(TaskListEdit, ChecksMoveWithTheirSlots)
{
    // Slot 3 holds only checks (its location was cleared): it still moves.
    TaskTable t = tableOf({{1, "a"}, {2, "b"}});
    CheckTable checks{{2, {.caFile = "b"}}, {3, {.caFile = "c"}}};
    auto where = [&] {
        std::string out;
        for (const auto& [slot, c] : checks)
            out += std::to_string(slot) + c.caFile;
        return out;
    };
    TaskListEdit edit(t, &checks);
    EXPECT_EQ(edit.highestUsedSlot(), 3);
    ASSERT_TRUE(edit.insertAt(1));
    EXPECT_EQ(where(), "3b4c");
    edit.deleteAt(3);
    EXPECT_EQ(where(), "3c");
    EXPECT_EQ(t.TaskLoc[2], "l-a");
}

TEST(TaskListEdit, NeverTouchesSlotZeroOrLeavesTheTable)
{
    TaskTable t = tableOf({{1, "a"}});
    t.TaskDesc[0] = "zero";
    TaskListEdit edit(t);
    EXPECT_FALSE(edit.insertAt(0));
    EXPECT_FALSE(edit.insertAt(101));
    edit.deleteAt(0);
    edit.deleteAt(101);
    EXPECT_EQ(t.TaskDesc[0], "zero");
    EXPECT_EQ(t.TaskLoc[1], "l-a");
}

TEST(EditorRules, TimeTextIsJudgedByTheNumberItBeginsWith)
{
    EXPECT_TRUE(timeTextAccepted("1"));
    EXPECT_TRUE(timeTextAccepted("60"));
    EXPECT_TRUE(timeTextAccepted("2.5"));
    EXPECT_TRUE(timeTextAccepted("5x"));
    EXPECT_TRUE(timeTextAccepted("  7"));
    EXPECT_TRUE(timeTextAccepted("60.0"));
    EXPECT_FALSE(timeTextAccepted("60.5"));
    EXPECT_FALSE(timeTextAccepted("61"));
    EXPECT_FALSE(timeTextAccepted("0"));
    EXPECT_FALSE(timeTextAccepted("0.9"));
    EXPECT_FALSE(timeTextAccepted(""));
    EXPECT_FALSE(timeTextAccepted("x5"));
    EXPECT_FALSE(timeTextAccepted("-5"));
    EXPECT_FALSE(timeTextAccepted("99999999999999999999999"));
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber("+12abc"), 12);
}

TEST(EditorRules, APickedPathWithBlanksStaysOneWord)
{
    EXPECT_EQ(commandLineForPath("/usr/bin/tool"), "/usr/bin/tool");
    EXPECT_EQ(commandLineForPath("/opt/my tools/run.sh"), "\"/opt/my tools/run.sh\"");
    EXPECT_EQ(commandLineForPath("/srv/two\nlines.sh"), "\"/srv/two\nlines.sh\"");
    // A quote cannot be written in a command line at all.
    EXPECT_EQ(commandLineForPath("/srv/a\"b.sh"), std::nullopt);
}
