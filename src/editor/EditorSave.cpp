#include "editor/EditorSave.h"

#include "console/Form1.h"

namespace torv {

EditorValues editorValuesFrom(const Form1& form)
{
    const SettingsRecord& s = form.settings;
    EditorValues v;
    v.LaunchOpt = (s.LaunchOpt == "EXIT" || s.LaunchOpt == "MIN") ? s.LaunchOpt : "NORM";
    v.ExchangeDir = s.ExchangeDir;
    v.UserCmd = s.UserCmd;
    v.InitTimeText = std::to_string(s.InitTime);
    v.CheckTimeText = std::to_string(s.CheckTime);
    v.remoteOn = s.RemoteOpt == "REMOTEON";
    v.soundOn = s.Sounds == "SOUNDON";
    v.commentsOn = s.UserComment == "COMMENTSON";
    return v;
}

bool saveFromEditor(Form1& form, const EditorValues& values)
{
    try {
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
