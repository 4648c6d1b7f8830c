#pragma once
// WorkHorse: the countdown, the ordered launches, the result file and the
// hand-over to the remote poll.
#include "platform/Failure.h"
#include "base/Int16.h"

#include <functional>
#include <string>

namespace torv {

class Form1;

class Sequencer {
public:
    explicit Sequencer(Form1& form) : f_(form) {}

    void WorkHorse();
    void Timer1_Timer();
    void Timer2_Timer();

private:
    enum class Outcome { Next, MissingFolder };
    // The run's failure rule around one step.
    Outcome guarded(const std::function<void()>& step);
    // Runs steps one after another under the failure rule until one takes the
    // missing-folder route; the steps after it are skipped.
    struct Steps {
        Sequencer& sequencer;
        Outcome outcome = Outcome::Next;
        void operator()(const std::function<void()>& step)
        {
            if (outcome == Outcome::Next)
                outcome = sequencer.guarded(step);
        }
    };
    void reportFailure(const Failure& failure);
    // Returns true when the run must return at once (a reload took over).
    bool countdown();
    void taskWait();
    // Steps 11 to 18; stops early on the missing-folder route.
    void runTasksAndFinish();
    Outcome writeResultFile();
    bool holdsTask(int16 slot) const;

    Form1& f_;
    int countingDown_ = 0; // runs now inside their start countdown
};

} // namespace torv
