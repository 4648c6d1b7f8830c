#include "editor/EditorSave.h"

#include "console/Form1.h"

namespace torv {

bool saveFromEditor(Form1& form, const EditorValues& values)
{
    try {
        // Written through a temporary file: a failed save leaves the old file whole.
        saveConfig(form.configPath(), values, form.tasks);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

bool saveAndRestart(Form1& form, const EditorValues& values)
{
    if (!saveFromEditor(form, values))
        return false;
    form.Reloading = true;
    return true;
}

void cancelEditor(Form1& form)
{
    if (form.FirstCancel) {
        form.FirstCancel = false;
        form.endProgram();
    }
}

} // namespace torv
