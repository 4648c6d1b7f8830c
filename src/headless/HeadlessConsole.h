#pragma once
// A console without a window: start-up, the sequence and the remote poll run
// through the same Form1 as in the window, wired to a JournalView and to
// HeadlessDialogs. What a windowed console would leave on screen for a person
// (the settings editor of a first run, the abnormal stop) becomes a notice on
// standard error and an exit status a service manager can act on.
#include "console/Form1.h"
#include "headless/JournalView.h"
#include "headless/LineSink.h"

#include <string>
#include <vector>

namespace torv {

// Exit statuses of a headless run. A restart mends neither 2 nor 3.
namespace exitstatus {
inline constexpr int Ok = 0;            // "EXIT" after the sequence, SIGTERM, SIGINT
inline constexpr int NeedsSettings = 2; // the first run wants the editor; also a wrong option
inline constexpr int AbnormalStop = 3;  // the settings file was unusable
} // namespace exitstatus

class HeadlessConsole {
public:
    static constexpr int kKeepRunning = -1;

    // view: the form's own view.
    HeadlessConsole(Form1& form, const JournalView& view, LineSink& sink) : form_(form), view_(view), sink_(sink) {}

    // Runs start-up and with it the whole sequence. Returns the status to end
    // with, or kKeepRunning when the console goes on polling. "EXIT" and a
    // second copy end the program from inside, as in the window.
    int start();

private:
    Form1& form_;
    const JournalView& view_;
    LineSink& sink_;
};

// What to tell the operator when the first run wants the settings editor.
// commentsWereThere: whether comments.txt existed before start-up (the first
// run creates an empty one).
std::vector<std::string> firstRunNotice(const std::string& programFolder, bool commentsWereThere);

} // namespace torv
