#pragma once
#include <string>
#include <vector>

namespace torv {

struct OpenFileRequest {
    std::string title;
    std::string initialDir;
    std::vector<std::string> filters; // "Label (*.sh)" style
    size_t selectedFilter = 0;        // the entry the dialog opens with
};

class Dialogs {
public:
    enum class Answer { Ok, Cancel };
    virtual ~Dialogs() = default;
    // Modal message box titled "TORV"; events keep flowing while it is open.
    virtual Answer messageBox(const std::string& text, bool withCancel = false) = 0;
    // Shows the settings editor modally and returns when it is closed.
    virtual void showSettingsEditor() = 0;
    // Open-file dialog; empty when cancelled.
    virtual std::string openFile(const OpenFileRequest& request) = 0;
};

} // namespace torv
