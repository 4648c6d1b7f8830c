#pragma once
#include "ports/Dialogs.h"

#include <functional>

class QWidget;

namespace torv {

class QtDialogs : public Dialogs {
public:
    Answer messageBox(const std::string& text, bool withCancel) override;
    void showSettingsEditor() override;
    std::string openFile(const OpenFileRequest& request) override;

    // Who shows the settings editor; set once the console exists.
    std::function<void()> settingsEditor;
    // The icon of message boxes' windows and the editor's parent.
    QWidget* parent = nullptr;
};

} // namespace torv
