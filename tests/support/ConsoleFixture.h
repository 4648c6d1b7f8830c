#pragma once
// A console on the simulated platform, in a temporary program folder.
#include "console/Form1.h"
#include "support/SimPlatform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace torv::sim {

// config.ini text from its lines, CR LF after each.
std::string configLines(const std::vector<std::string>& lines);

struct ConfigValues {
    std::string launchOpt = "NORM";
    std::string exchangeDir; // empty: the fixture's exchange folder
    std::string userCmd;
    std::string initTime = "30";
    std::string checkTime = "10";
    std::string remoteOpt = "REMOTEON";
    std::string sounds = "SOUNDON";
    std::string comments = "COMMENTSOFF";
    std::vector<std::pair<std::string, std::string>> tasks;
};

// A console on the simulated platform in a temporary program folder.
struct SimConsole {
    SimConsole();
    // Writes config.ini from its lines and reads it into the console, as
    // start-up does; rereadConfig reads the file as it now stands.
    void loadConfig(const std::vector<std::string>& lines);
    void rereadConfig();
    TempDir dir;
    TempDir exchange;
    SimPlatform sim;
    std::unique_ptr<Form1> form;
};

class ConsoleTest : public ::testing::Test, protected SimConsole {
protected:
    ConsoleTest();

    void writeConfig(const ConfigValues& spec);
    void writeConfigText(const std::string& text) { dir.write("config.ini", text); }
    // Runs start-up as the program does; true when the program ended.
    bool start();
    // The log as lines, without the line ends.
    std::vector<std::string> logLines() const;
    // What the settings editor does when, open for openMs, it saves values
    // with "Ok+&Restart"; editorSavesAndRestarts queues it for the next opening.
    std::function<void()> savingAndRestarting(const ConfigValues& values, Ms openMs = 0);
    void editorSavesAndRestarts(const ConfigValues& values, Ms openMs = 0)
    {
        sim.dialogs.editorScript.push_back(savingAndRestarting(values, openMs));
    }
    // Every launch: its virtual time and its command line.
    std::vector<std::pair<Ms, std::string>> launches() const;
    // Times (ms) at which a status text was first shown.
    std::vector<std::pair<Ms, std::string>> statuses() const { return sim.view.statusHistory; }
};

} // namespace torv::sim
