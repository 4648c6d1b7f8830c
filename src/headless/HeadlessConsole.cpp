#include "headless/HeadlessConsole.h"

#include "base/Failure.h"
#include "headless/HeadlessDialogs.h"
#include "ports/Paths.h"
#include "settings/ConfigFile.h"

#include <filesystem>

namespace torv {

namespace {
bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}
} // namespace

int HeadlessConsole::start()
{
    // No chart to draw: its timer would only wake the process.
    form_.state().CPUTimer->setEnabled(false);
    const bool commentsWereThere = isFile(form_.commentsPath());
    try {
        form_.Form_Load();
    } catch (const SettingsEditorWanted&) {
        for (const std::string& line : firstRunNotice(form_.ports().program.folder(), commentsWereThere))
            sink_.err(oneLine(line));
        return exitstatus::NeedsSettings;
    }
    if (form_.state().StartUpStopped) {
        // The message box has said which failure; this is what the window
        // shows, line by line.
        const std::string& text = view_.boxText();
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            end = end == std::string::npos ? text.size() : end;
            sink_.err(oneLine("ERROR: " + text.substr(at, end - at)));
            at = end + 2;
        }
        return exitstatus::AbnormalStop;
    }
    return kKeepRunning;
}

std::vector<std::string> firstRunNotice(const std::string& folder, bool commentsWereThere)
{
    const std::string config = inFolder(folder, "config.ini");
    const std::string example = inFolder(folder, "config.ini.example");
    const std::string again = "then start torv --headless again.";
    if (!isFile(config)) {
        return {"ERROR: No settings file: " + config + " is missing.",
                isFile(example) ? "ERROR: Copy " + example + " to " + config + ", edit it (see the manual), " + again
                                : "ERROR: Write it as the manual describes (there is no config.ini.example in " +
                                      folder + "), " + again};
    }
    // Read as start-up read it, so that the notice names what start-up saw: a
    // read that fails part way leaves the values before the failure.
    SettingsRecord settings;
    TaskTable tasks;
    int16 totalApps = 0;
    try {
        readConfig(config, settings, tasks, totalApps);
    } catch (const Failure&) {
    }
    if (settings.LaunchOpt == "FIRSTRUN")
        return {"ERROR: " + config +
                    " asks for the first run (its first value is FIRSTRUN), which needs the "
                    "settings editor.",
                "ERROR: Write the settings into it as the manual describes, " + again};
    if (!commentsWereThere)
        return {"ERROR: Comments are on but " + inFolder(folder, "comments.txt") +
                    " was missing; an empty one has been made.",
                "ERROR: Put the comment line into it, or write COMMENTSOFF into " + config + ", " + again};
    return {"ERROR: " + config + " cannot be used without the settings editor.",
            "ERROR: Correct it as the manual describes, " + again};
}

} // namespace torv
