#pragma once
// Dialogs with nobody to click them: a message box is one "ERROR:" line on
// standard error, answered OK at once, so a failed launch never holds up the
// sequence; the settings editor cannot be shown at all.
#include "headless/LineSink.h"
#include "ports/Dialogs.h"

namespace torv {

// Thrown where a windowed console would open the settings editor (the first
// run); HeadlessConsole turns it into a notice and exit status 2.
struct SettingsEditorWanted {};

class HeadlessDialogs : public Dialogs {
public:
    explicit HeadlessDialogs(LineSink& sink) : sink_(sink) {}
    Answer messageBox(const std::string& text, bool withCancel) override;
    [[noreturn]] void showSettingsEditor() override;
    std::string openFile(const OpenFileRequest&) override { return {}; }

private:
    LineSink& sink_;
};

} // namespace torv
