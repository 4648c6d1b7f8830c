#include "sequencer/Sequencer.h"

#include "base/NamedLaunch.h"
#include "core/Cues.h"
#include "remote/CommandInterface.h"
#include "remote/ResultFile.h"
#include "sequencer/ReadinessWait.h"
#include "supervisor/Supervisor.h"

#include <optional>

namespace torv {

namespace {
constexpr const char* kMissingFolder = "ERROR: Remote Command and Reporting Directory Does Not Exist!";
}

void Sequencer::Timer1_Timer()
{
    // The counter rests at its lower limit instead of overflowing: the timer may
    // keep running long after a sequence (the settings editor switches it on).
    if (state_.Seconds > INT16_MIN)
        state_.Seconds = static_cast<int16>(state_.Seconds - 1);
    // A copy: a tick may not end a wait, but a reload inside one adds its own.
    for (ReadinessWait* wait : std::vector<ReadinessWait*>(readinessWaits_))
        wait->tick();
    // No event processing here: a timer is never delivered again while its own
    // tick runs, so a Restart clicked inside this tick would wait for ever for
    // the next one. Every wait processes events right after a tick anyway.
}

void Sequencer::reportFailure(const Failure& failure)
{
    ports_.dialogs.messageBox(failure.message());
    console_.appendLog("Command Failed");
    console_.showLog();
}

Sequencer::Outcome Sequencer::guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Failure& failure) {
        if (failure.code == 76) {
            console_.appendLog(kMissingFolder);
            console_.showLog();
            state_.Timer2->setEnabled(false);
            return Outcome::MissingFolder;
        }
        reportFailure(failure);
    }
    return Outcome::Next;
}

bool Sequencer::countdown()
{
    auto& events = ports_.events;
    auto reloadTookOver = [this] {
        state_.SequenceRunning = false;
        state_.ReloadInSequence = false;
        return true;
    };
    bool counted = false;
    ++countingDown_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{countingDown_};
    while (state_.Seconds > 1) {
        if (state_.Ending)
            return true;
        if (state_.ReloadInSequence)
            return reloadTookOver();
        counted = true;
        events.processPending();
        if (state_.Seconds > 1) {
            console_.setStatus("Seconds Until Execution Start:" + std::to_string(state_.Seconds));
            // Blocks until the next tick, click or other event; costs no CPU.
            events.waitForEvents();
        }
    }
    // A reload whose short countdown ran a whole sequence inside our wait leaves
    // the counter at 1; this run was superseded and must not announce again.
    if (counted && state_.ReloadInSequence)
        return reloadTookOver();
    return false;
}

void Sequencer::taskWait()
{
    auto& events = ports_.events;
    while (state_.Seconds > 1 && !state_.Ending) {
        events.processPending();
        if (state_.Seconds > 1 && !state_.Ending) {
            console_.setStatus("Seconds Until Next Execution Start:" + std::to_string(state_.Seconds));
            events.waitForEvents();
        }
    }
}

std::unique_ptr<RunningProcess> Sequencer::launch(int16 task, const std::shared_ptr<std::optional<int>>& endStatus)
{
    const std::string commandLine = state_.tasks.TaskLoc[task];
    const std::string description = state_.tasks.TaskDesc[task];
    auto found = state_.checks.find(task);
    const bool kept = found != state_.checks.end() && found->second.keep.watched();
    const bool held = kept || (found != state_.checks.end() && !found->second.ready.empty());
    std::unique_ptr<RunningProcess> process;
    try {
        if (held)
            process = startNamed(ports_.launcher, commandLine, WindowStyle::Normal);
        else
            runNamed(ports_.launcher, commandLine, WindowStyle::Normal);
    } catch (const Failure& failure) {
        // Told before the box, which waits for a person who is not there.
        console_.notify(
            consoleEvent(Event::LaunchFailed, task, description, failure.message(), std::to_string(failure.code)));
        throw;
    }
    console_.notify(consoleEvent(Event::TaskLaunched, task, description));
    if (!process)
        return nullptr;
    auto heard = [endStatus](int status) {
        if (endStatus)
            *endStatus = status;
    };
    if (kept) {
        supervisor_.adopt(task, commandLine, description, found->second.keep, std::move(process));
        supervisor_.onNextEnd(task, heard);
        return nullptr;
    }
    process->onEnd(ports_.events, heard);
    return process;
}

Sequencer::Settled Sequencer::settle(int16 task, bool beforeLaunch, int sequencesSeen,
                                     const std::shared_ptr<std::optional<int>>& endStatus)
{
    TaskChecks settings;
    bool timedOut = false;
    bool held = false; // the last wait ended with every check holding
    std::string gaveUpWith;
    // A program that failed will not get ready (one that ended with 0 may
    // have left a server behind: its checks go on).
    auto failedWith = [&] { return endStatus ? endStatus->value_or(0) : 0; };
    // A reload inside the wait reads torv.ini again: as a task's wait goes on
    // with the reloaded settings, this one starts over with the checks read.
    for (int reading = -1; reading != state_.optionsReadings && !overtaken(sequencesSeen);) {
        reading = state_.optionsReadings;
        auto found = state_.checks.find(task);
        if (found == state_.checks.end())
            return Settled::GoOn;
        settings = found->second;
        const std::vector<Check> checks =
            withPathsIn(ports_.program.folder(), beforeLaunch ? settings.before : settings.ready);
        if (checks.empty())
            return Settled::GoOn;
        ReadinessWait wait(ports_.probe, console_, checks, settings, settings.onTimeout == OnTimeout::Stop);
        readinessWaits_.push_back(&wait);
        struct Leave {
            std::vector<ReadinessWait*>& waits;
            ~Leave() { waits.pop_back(); }
        } leave{readinessWaits_};
        // A run overtaken by a whole sequence inside this wait stands down: it
        // no longer waits for anything.
        for (;;) {
            if (failedWith() != 0)
                wait.programFailed(failedWith());
            if (wait.finished() || overtaken(sequencesSeen) || reading != state_.optionsReadings)
                break;
            ports_.events.waitForEvents();
        }
        timedOut = wait.timedOut();
        gaveUpWith = wait.gaveUpWith();
        held = wait.finished() && !timedOut;
    }
    const std::string& description = state_.tasks.TaskDesc[task];
    if (!timedOut) {
        if (held && !beforeLaunch)
            console_.notify(consoleEvent(Event::TaskReady, task, description));
        return Settled::GoOn;
    }
    console_.notify(consoleEvent(Event::NotReady, task, description, gaveUpWith,
                                 failedWith() != 0 ? std::to_string(failedWith()) : std::string()));
    switch (settings.onTimeout) {
    case OnTimeout::Stop:
        console_.appendLog("Sequence Stopped At Task " + std::to_string(task));
        console_.showLog();
        console_.notify(consoleEvent(Event::SequenceStopped, task, description,
                                     "Sequence Stopped At Task " + std::to_string(task)));
        return Settled::Stop;
    case OnTimeout::Skip:
        return beforeLaunch ? Settled::SkipLaunch : Settled::GoOn;
    case OnTimeout::Continue:
        break;
    }
    return Settled::GoOn;
}

void Sequencer::WorkHorse()
{
    if (state_.Reloading)
        return;
    // A reload inside one of this run's waits may run a whole sequence there;
    // this run then stands down rather than announce and launch a second time.
    const int seen = sequencesEnded_;
    bool reloaded = false;
    Steps step{*this, seen};
    step([&] { state_.Timer1->setEnabled(true); });
    step([&] {
        state_.Seconds = state_.settings.InitTime;
        console_.notify(consoleEvent(Event::SequenceCounting));
    });
    step([&] {
        console_.showWindow();
        ports_.events.processPending();
    });
    step([&] { state_.SequenceRunning = true; });
    step([&] { reloaded = countdown(); });
    if (reloaded)
        return;
    bool stopped = false;
    if (step.outcome == Outcome::Next)
        step.outcome = runTasksAndFinish(seen, stopped);
    // The sequence that overtook this run has cleared SequenceRunning, and
    // ReloadInSequence unless a run still counting down is left to clear it.
    if (step.outcome == Outcome::StoodDown)
        return;

    // The controls come back and the action after the sequence follows on
    // both routes, the missing folder included.
    guarded([&] { console_.setControlEnabled(Control::Chart, state_.CpuMonCreated); });
    guarded([&] {
        for (Control c : {Control::cmdEdit, Control::cmdTray, Control::chkRemote, Control::cmdRestart})
            console_.setControlEnabled(c, true);
    });
    const int ended = ++sequencesEnded_;
    if (!stopped)
        console_.notify(consoleEvent(Event::SequenceComplete, 0, {}, "Sequence Complete"));
    guarded([&] { ports_.events.processPending(); });
    // A reload clicked just now has run a sequence and taken its own action.
    if (overtaken(ended))
        return;
    // Stopped by a task that never got ready: the console stays, so that
    // someone can ask it why.
    if (stopped)
        return;
    const std::string action = state_.settings.LaunchOpt;
    if (action == "EXIT")
        exitAfterSequence();
    if (action == "MIN")
        console_.minimizeWindow();
}

void Sequencer::exitAfterSequence()
{
    // A console that keeps programs running stays to keep them, as after a
    // sequence that stopped, until it is ended by hand or by a signal.
    const int watched = supervisor_.watchedCount();
    if (watched == 0) {
        console_.requestEnd();
        return;
    }
    if (!std::exchange(stayingToWatch_, true)) {
        console_.appendLog("Staying To Watch " + std::to_string(watched) + " Tasks");
        console_.showLog();
    }
}

Sequencer::Outcome Sequencer::runTasksAndFinish(int sequencesSeen, bool& stopped)
{
    Steps step{*this, sequencesSeen};
    step([&] { state_.SequenceRunning = false; });
    step([&] {
        console_.appendStamped("Starting Application Execution:");
        console_.notify(consoleEvent(Event::SequenceStarted, 0, {}, "Starting Application Execution"));
    });
    step([&] { console_.showLog(); });
    step([&] { state_.Timer1->setEnabled(false); });
    step([&] {
        console_.playCue(cue::Done);
        state_.SequenceRunning = true;
    });
    // The loop's bound is read once: a reload during the task phase changes the
    // tasks launched but not how many.
    const int16 last = state_.TotalApps;
    // Each wait counts from the tick its launch was planned for, not from
    // after the launch's own work, so that launches keep their schedule; after
    // a task with checks, from the moment they let it go on.
    bool onSchedule = true;
    for (int16 i = 1; i <= last && step.outcome == Outcome::Next && !stopped; ++i)
        runTask(step, i, onSchedule, stopped);
    step([&] {
        state_.SequenceRunning = false;
        // A reload flag that no counting run is left to see would swallow the
        // next reload's countdown.
        if (countingDown_ == 0)
            state_.ReloadInSequence = false;
    });
    step([&] {
        if (state_.settings.RemoteOpt == "REMOTEON") {
            console_.appendLog("Enabling Command Interface");
            remote_.pollStarting();
            console_.setStatus("Command Interface Active. Waiting For Remote");
        } else {
            console_.appendLog("Command Interface Inactive");
            console_.setStatus("Command Interface Inactive");
            state_.Timer2->setEnabled(false);
        }
    });
    step([&] { console_.playCue(cue::Finished); });
    step([&] { console_.showLog(); });
    if (step.outcome == Outcome::Next)
        step.outcome = writeResultFile();
    step([&] {
        if (state_.settings.RemoteOpt == "REMOTEON")
            state_.Timer2->setEnabled(true);
    });
    return step.outcome;
}

void Sequencer::runTask(Steps& step, int16 slot, bool& onSchedule, bool& stopped)
{
    // A slot without a location holds no task (the editor's save drops it
    // too). A reload that shortened the list leaves such slots under the
    // loop's old bound: they get no wait, no log line, no launch, no cue.
    if (!holdsTask(slot))
        return;
    step([&] {
        state_.Seconds = state_.settings.CheckTime;
        if (onSchedule)
            state_.Timer1->resume();
        else
            state_.Timer1->setEnabled(true);
    });
    step([&] { taskWait(); });
    if (!holdsTask(slot)) { // emptied during the wait: by a reload or the editor
        step([&] { state_.Timer1->setEnabled(false); });
        return;
    }
    Settled settled = Settled::GoOn;
    bool held = false; // something held the run after this task's launch
    step([&] { settled = settle(slot, true, step.sequencesSeen); });
    // A reload during the checks may have emptied the slot, as during the wait.
    if (!holdsTask(slot))
        settled = Settled::SkipLaunch;
    if (settled == Settled::GoOn && supervisor_.runs(slot, state_.tasks.TaskLoc[slot])) {
        // A reload never starts a second copy of a kept program.
        step([&] {
            console_.appendLog("Task " + std::to_string(slot) + " Already Running");
            console_.showLog();
        });
    } else if (settled == Settled::GoOn) {
        step([&] {
            console_.appendLog(state_.tasks.TaskDesc[slot]);
            console_.showLog();
        });
        auto endStatus = std::make_shared<std::optional<int>>();
        std::unique_ptr<RunningProcess> process; // held for the ready wait only
        step([&] { process = launch(slot, endStatus); });
        // The launch check reads the log's tail, which a failure report has
        // just ended with "Command Failed".
        bool failed = false;
        step([&] {
            failed = state_.DumpString.endsWith("Failed\r\n");
            console_.playCue(failed ? cue::Failure : cue::Complete);
        });
        // A failure's box held the run for as long as it was open: the
        // next wait counts from its closing.
        held = held || failed;
        // The next task's wait starts once this one is ready.
        step([&] { settled = settle(slot, false, step.sequencesSeen, endStatus); });
    }
    stopped = settled == Settled::Stop;
    const auto checks = state_.checks.find(slot);
    onSchedule = !held && (checks == state_.checks.end() || checks->second.empty());
    step([&] { state_.Timer1->setEnabled(false); });
}

bool Sequencer::holdsTask(int16 slot) const
{
    return !state_.tasks.TaskLoc[slot].empty();
}

Sequencer::Outcome Sequencer::writeResultFile()
{
    // Three steps, each under the failure rule: a file that could not be
    // created is reported again when the write finds it missing.
    ResultFile file(state_.settings.ExchangeDir);
    if (guarded([&] { file.create(); }) == Outcome::MissingFolder)
        return Outcome::MissingFolder;
    std::optional<std::string> written;
    Outcome outcome = guarded([&] { written = file.write(state_.DumpString.text()); });
    file.close();
    if (written)
        outcome = guarded([&] { remote_.signResult(*written); });
    return outcome;
}

} // namespace torv
