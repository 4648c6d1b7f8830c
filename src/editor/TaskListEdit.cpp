#include "editor/TaskListEdit.h"

namespace torv {

bool TaskListEdit::used(int slot) const
{
    return !tasks_.TaskDesc[slot].empty() || !tasks_.TaskLoc[slot].empty() || (checks_ && checks_->count(slot));
}

int TaskListEdit::highestUsedSlot() const
{
    for (int i = kMaxTasks; i >= 1; --i)
        if (used(i))
            return i;
    return 0;
}

void TaskListEdit::copySlot(int to, int from)
{
    tasks_.TaskLoc[to] = tasks_.TaskLoc[from];
    tasks_.TaskDesc[to] = tasks_.TaskDesc[from];
    if (!checks_)
        return;
    if (auto found = checks_->find(from); found != checks_->end())
        (*checks_)[to] = found->second;
    else
        checks_->erase(to);
}

void TaskListEdit::clearSlot(int slot)
{
    tasks_.TaskLoc[slot].clear();
    tasks_.TaskDesc[slot].clear();
    if (checks_)
        checks_->erase(slot);
}

bool TaskListEdit::insertAt(int slot)
{
    if (slot < 1 || slot > kMaxTasks)
        return false;
    const int top = highestUsedSlot();
    if (top == kMaxTasks)
        return false;
    for (int i = top; i >= slot; --i)
        copySlot(i + 1, i);
    clearSlot(slot);
    return true;
}

void TaskListEdit::deleteAt(int slot)
{
    if (slot < 1 || slot > kMaxTasks)
        return;
    const int top = highestUsedSlot();
    if (slot > top)
        return;
    for (int i = slot; i < top; ++i)
        copySlot(i, i + 1);
    clearSlot(top);
}

} // namespace torv
