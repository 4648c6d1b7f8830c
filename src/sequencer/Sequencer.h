#pragma once
// WorkHorse: the countdown, the ordered launches, the result file and the
// hand-over to the remote poll.
#include "base/Failure.h"
#include "base/Int16.h"
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "core/Ports.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace torv {

class CommandInterface;
class ReadinessWait;
class Supervisor;

class Sequencer {
public:
    // remote: the poll the end of a sequence hands over to; supervisor: who
    // keeps the programs of the tasks that ask for it.
    Sequencer(ConsoleState& state, ConsoleActions& console, const Ports& ports, CommandInterface& remote,
              Supervisor& supervisor)
        : state_(state), console_(console), ports_(ports), remote_(remote), supervisor_(supervisor)
    {
    }

    void WorkHorse();
    void Timer1_Timer();

private:
    // StoodDown: a reload ran a whole sequence inside one of this run's waits.
    enum class Outcome { Next, MissingFolder, StoodDown };
    // The run's failure rule around one step.
    Outcome guarded(const std::function<void()>& step);
    // Runs steps one after another under the failure rule until one takes the
    // missing-folder route or the run is overtaken; the steps after it are skipped.
    struct Steps {
        Sequencer& sequencer;
        int sequencesSeen; // sequencesEnded_ when the run began
        Outcome outcome = Outcome::Next;
        void operator()(const std::function<void()>& step)
        {
            if (outcome == Outcome::Next && sequencer.overtaken(sequencesSeen))
                outcome = Outcome::StoodDown;
            if (outcome == Outcome::Next)
                outcome = sequencer.guarded(step);
        }
    };
    void reportFailure(const Failure& failure);
    // Whether a sequence has ended since a run saw `sequencesSeen`, or the
    // console is ending: either way the run stands down.
    bool overtaken(int sequencesSeen) const { return sequencesEnded_ != sequencesSeen || state_.Ending; }
    // Returns true when the run must return at once (a reload took over).
    bool countdown();
    void taskWait();
    // What a task's checks leave the sequence to do.
    enum class Settled { GoOn, SkipLaunch, Stop };
    // Waits for one list of a task's checks (its `before` or its `ready`).
    // endStatus: set when the task's program ends during a ready wait.
    Settled settle(int16 task, bool beforeLaunch, int sequencesSeen,
                   const std::shared_ptr<std::optional<int>>& endStatus = nullptr);
    // Launches a task; one with ready checks is held until its wait is over,
    // one kept running is handed to the supervisor. Its end status, for the
    // ready wait, goes to endStatus. Returns the program held for the wait only.
    std::unique_ptr<RunningProcess> launch(int16 task, const std::shared_ptr<std::optional<int>>& endStatus);
    // The action after a sequence that asked to end.
    void exitAfterSequence();
    // The launches, the hand-over to the remote poll and the result file;
    // stops early on the missing-folder route or when overtaken.
    // stopped: a check's time-out stopped the sequence (no action after it).
    Outcome runTasksAndFinish(int sequencesSeen, bool& stopped);
    // One slot's wait, checks and launch. onSchedule: whether the next wait
    // counts from its planned tick (in and out); stopped as above.
    void runTask(Steps& step, int16 slot, bool& onSchedule, bool& stopped);
    Outcome writeResultFile();
    bool holdsTask(int16 slot) const;

    ConsoleState& state_;
    ConsoleActions& console_;
    const Ports& ports_;
    CommandInterface& remote_;
    Supervisor& supervisor_;
    bool stayingToWatch_ = false; // said once
    int countingDown_ = 0;        // runs now inside their start countdown
    int sequencesEnded_ = 0;      // runs that reached the end of their sequence
    // The check waits under way (a reload may start one inside another);
    // each counts the ticks of Timer1.
    std::vector<ReadinessWait*> readinessWaits_;
};

} // namespace torv
