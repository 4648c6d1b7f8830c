#include "headless/HeadlessDialogs.h"

namespace torv {

Dialogs::Answer HeadlessDialogs::messageBox(const std::string& text, bool)
{
    sink_.err(oneLine("ERROR: " + text));
    return Answer::Ok;
}

void HeadlessDialogs::showSettingsEditor()
{
    throw SettingsEditorWanted{};
}

} // namespace torv
