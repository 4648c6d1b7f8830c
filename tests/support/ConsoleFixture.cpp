#include "support/ConsoleFixture.h"

#include "settings/ConfigFile.h"

namespace torv::sim {

std::string configLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    return out;
}

SimConsole::SimConsole() : sim(dir.path())
{
    // The drive root stands for "/" and must stay inside the test's folders.
    sim.program.driveRoot_ = exchange.path();
    form = std::make_unique<Form1>(Ports{sim.events, sim.clock, sim.launcher, sim.sound, sim.dialogs, sim.program,
                                         sim.tray, sim.cpu, 42, sim.probe, sim.web},
                                   sim.view);
}

void SimConsole::loadConfig(const std::vector<std::string>& lines)
{
    dir.write("config.ini", configLines(lines));
    rereadConfig();
}

void SimConsole::rereadConfig()
{
    readConfig(form->configPath(), form->state().settings, form->state().tasks, form->state().TotalApps);
}

ConsoleTest::ConsoleTest()
{
    EXPECT_EQ(sim.view.status, "SERVER COMMND CENTER");
    sim.view.statusHistory.clear(); // keep only what start-up shows
}

void ConsoleTest::writeConfig(const ConfigValues& s)
{
    std::vector<std::string> lines = {s.launchOpt, s.exchangeDir.empty() ? exchange.path() : s.exchangeDir,
                                      s.userCmd,   s.initTime,
                                      s.checkTime, s.remoteOpt,
                                      s.sounds,    s.comments};
    for (const auto& [desc, loc] : s.tasks) {
        lines.push_back(desc);
        lines.push_back(loc);
    }
    writeConfigText(configLines(lines));
}

bool ConsoleTest::start()
{
    try {
        form->Form_Load();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

std::function<void()> ConsoleTest::savingAndRestarting(const ConfigValues& values, Ms openMs)
{
    return [this, values, openMs] {
        sim.events.runFor(openMs);
        writeConfig(values);
        form->state().Reloading = true;
    };
}

std::vector<std::pair<Ms, std::string>> ConsoleTest::launches() const
{
    std::vector<std::pair<Ms, std::string>> out;
    for (const Launch& l : sim.launcher.launches)
        out.emplace_back(l.at, l.commandLine);
    return out;
}

std::vector<std::string> ConsoleTest::logLines() const
{
    std::vector<std::string> lines;
    const std::string& t = form->state().DumpString.text();
    size_t pos = 0;
    while (pos < t.size()) {
        size_t end = t.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(t.substr(pos));
            break;
        }
        lines.push_back(t.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

} // namespace torv::sim
