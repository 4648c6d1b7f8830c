#pragma once
// Inserting and deleting slots of the task table. The shifts reach up to the
// highest slot that holds anything, not to the count of the last reading, so
// any series of edits between two readings keeps every task. A task's checks,
// when given, move with it: a check never stays behind to guard the program
// that moves into its slot.
#include "settings/Settings.h"
#include "settings/TaskChecks.h"

namespace torv {

class TaskListEdit {
public:
    explicit TaskListEdit(TaskTable& tasks, CheckTable* checks = nullptr) : tasks_(tasks), checks_(checks) {}

    // The highest slot (1..100) whose description, location or checks are not
    // empty; 0 when none.
    int highestUsedSlot() const;
    // The tasks in slots slot.. move one slot up and `slot` becomes empty.
    // False, and nothing moves, when slot 100 holds a task (it would need a 101st).
    bool insertAt(int slot);
    // The tasks above `slot` move one slot down over it; slot 100 becomes empty.
    // Nothing moves when `slot` is above the highest used slot.
    void deleteAt(int slot);

private:
    bool used(int slot) const;
    void copySlot(int to, int from);
    void clearSlot(int slot);

    TaskTable& tasks_;
    CheckTable* checks_;
};

} // namespace torv
