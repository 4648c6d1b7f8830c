#include "sequencer/Sequencer.h"

#include "console/Cues.h"
#include "console/Form1.h"
#include "remote/CommandInterface.h"
#include "remote/ResultFile.h"

namespace torv {

namespace {
constexpr const char* kMissingFolder = "ERROR: Remote Command and Reporting Directory Does Not Exist!";
}

void Sequencer::Timer1_Timer()
{
    // The counter rests at its lower limit instead of overflowing: the timer may
    // keep running long after a sequence (the settings editor switches it on).
    if (f_.Seconds > INT16_MIN)
        f_.Seconds = static_cast<int16>(f_.Seconds - 1);
    // No event processing here: a timer is never delivered again while its own
    // tick runs, so a Restart clicked inside this tick would wait for ever for
    // the next one. Every wait processes events right after a tick anyway.
}

void Sequencer::Timer2_Timer()
{
    // Likewise: a sequence started by a click inside this tick would stop the
    // remote poll until it ended.
    f_.Command_Interface();
}

void Sequencer::reportFailure(const Failure& failure)
{
    f_.ports.dialogs.messageBox(failure.message());
    f_.appendLog("Command Failed");
    f_.showLog();
}

Sequencer::Outcome Sequencer::guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Failure& failure) {
        if (failure.code == 76) {
            f_.appendLog(kMissingFolder);
            f_.showLog();
            f_.Timer2->setEnabled(false);
            return Outcome::MissingFolder;
        }
        reportFailure(failure);
    }
    return Outcome::Next;
}

bool Sequencer::countdown()
{
    auto& events = f_.ports.events;
    auto reloadTookOver = [this] {
        f_.SequenceRunning = false;
        f_.ReloadInSequence = false;
        return true;
    };
    bool counted = false;
    ++countingDown_;
    struct Leave {
        int& n;
        ~Leave() { --n; }
    } leave{countingDown_};
    while (f_.Seconds > 1) {
        if (f_.ReloadInSequence)
            return reloadTookOver();
        counted = true;
        events.processPending();
        if (f_.Seconds > 1) {
            f_.setStatus("Seconds Until Execution Start:" + std::to_string(f_.Seconds));
            // Blocks until the next tick, click or other event; costs no CPU.
            events.waitForEvents();
        }
    }
    // A reload whose short countdown ran a whole sequence inside our wait leaves
    // the counter at 1; this run was superseded and must not announce again.
    if (counted && f_.ReloadInSequence)
        return reloadTookOver();
    return false;
}

void Sequencer::taskWait()
{
    auto& events = f_.ports.events;
    while (f_.Seconds > 1) {
        events.processPending();
        if (f_.Seconds > 1) {
            f_.setStatus("Seconds Until Next Execution Start:" + std::to_string(f_.Seconds));
            events.waitForEvents();
        }
    }
}

void Sequencer::WorkHorse()
{
    if (f_.Reloading)
        return;
    // A reload inside one of this run's waits may run a whole sequence there;
    // this run then stands down rather than announce and launch a second time.
    const int seen = sequencesEnded_;
    bool reloaded = false;
    Steps step{*this, seen};
    step([&] { f_.Timer1->setEnabled(true); });
    step([&] { f_.Seconds = f_.settings.InitTime; });
    step([&] {
        f_.view().showWindow();
        f_.ports.events.processPending();
    });
    step([&] { f_.SequenceRunning = true; });
    step([&] { reloaded = countdown(); });
    if (reloaded)
        return;
    if (step.outcome == Outcome::Next)
        step.outcome = runTasksAndFinish(seen);
    // The sequence that overtook this run has cleared SequenceRunning, and
    // ReloadInSequence unless a run still counting down is left to clear it.
    if (step.outcome == Outcome::StoodDown)
        return;

    // Steps 19 to 22 run on both routes.
    guarded([&] { f_.setControlEnabled(Control::Chart, f_.CpuMonCreated); });
    guarded([&] {
        for (Control c : {Control::cmdEdit, Control::cmdTray, Control::chkRemote, Control::cmdRestart})
            f_.setControlEnabled(c, true);
    });
    const int ended = ++sequencesEnded_;
    guarded([&] { f_.ports.events.processPending(); });
    // A reload clicked just now has run a sequence and taken its own action.
    if (overtaken(ended))
        return;
    const std::string action = f_.settings.LaunchOpt;
    if (action == "EXIT")
        f_.endProgram();
    if (action == "MIN")
        f_.view().minimizeWindow();
}

Sequencer::Outcome Sequencer::runTasksAndFinish(int sequencesSeen)
{
    Steps step{*this, sequencesSeen};
    step([&] { f_.SequenceRunning = false; });
    step([&] { f_.appendStamped("Starting Application Execution:"); });
    step([&] { f_.showLog(); });
    step([&] { f_.Timer1->setEnabled(false); });
    step([&] {
        f_.playCue(cue::Done);
        f_.SequenceRunning = true;
    });
    // The loop's bound is read once: a reload during the task phase changes the
    // tasks launched but not how many.
    const int16 last = f_.TotalApps;
    for (int16 i = 1; i <= last && step.outcome == Outcome::Next; ++i) {
        // A slot without a location holds no task (the editor's save drops it
        // too). A reload that shortened the list leaves such slots under the
        // loop's old bound: they get no wait, no log line, no launch, no cue.
        if (!holdsTask(i))
            continue;
        step([&] {
            f_.Seconds = f_.settings.CheckTime;
            f_.Timer1->setEnabled(true);
        });
        step([&] { taskWait(); });
        if (!holdsTask(i)) { // emptied during the wait: by a reload or the editor
            step([&] { f_.Timer1->setEnabled(false); });
            continue;
        }
        step([&] {
            f_.appendLog(f_.tasks.TaskDesc[i]);
            f_.showLog();
        });
        step([&] { runNamed(f_.ports.launcher, f_.tasks.TaskLoc[i], WindowStyle::Normal); });
        // The launch check reads the log's tail, which a failure report has just
        // ended with "Command Failed".
        step([&] { f_.playCue(f_.DumpString.endsWith("Failed\r\n") ? cue::Failure : cue::Complete); });
        step([&] { f_.Timer1->setEnabled(false); });
    }
    step([&] {
        f_.SequenceRunning = false;
        // A reload flag that no counting run is left to see would swallow the
        // next reload's countdown.
        if (countingDown_ == 0)
            f_.ReloadInSequence = false;
    });
    step([&] {
        if (f_.settings.RemoteOpt == "REMOTEON") {
            f_.appendLog("Enabling Command Interface");
            f_.remote().pollStarting();
            f_.setStatus("Command Interface Active. Waiting For Remote");
        } else {
            f_.appendLog("Command Interface Inactive");
            f_.setStatus("Command Interface Inactive");
            f_.Timer2->setEnabled(false);
        }
    });
    step([&] { f_.playCue(cue::Finished); });
    step([&] { f_.showLog(); });
    if (step.outcome == Outcome::Next)
        step.outcome = writeResultFile();
    step([&] {
        if (f_.settings.RemoteOpt == "REMOTEON")
            f_.Timer2->setEnabled(true);
    });
    return step.outcome;
}

bool Sequencer::holdsTask(int16 slot) const
{
    return !f_.tasks.TaskLoc[slot].empty();
}

Sequencer::Outcome Sequencer::writeResultFile()
{
    // Three steps, each under the failure rule: a file that could not be
    // created is reported again when the write finds it missing.
    ResultFile file(f_.settings.ExchangeDir);
    if (guarded([&] { file.create(); }) == Outcome::MissingFolder)
        return Outcome::MissingFolder;
    bool written = false;
    Outcome outcome = guarded([&] {
        file.write(f_.DumpString.text());
        written = true;
    });
    file.close();
    if (written)
        outcome = guarded([&] { f_.remote().signResult(f_.DumpString.text()); });
    return outcome;
}

} // namespace torv
