// One whole remote poll in virtual time on any command file, checked against a
// small model of the command table written apart from the product: which cue,
// which log entry, whether Result.txt mirrors the log, whether the command file
// is gone, what is launched and whether the poll stays on.
#include "remote/CommandFile.h"
#include "support/ConsoleFixture.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace torv;
using namespace torv::sim;

namespace {

[[noreturn]] void mismatch(const char* what, const std::string& expected, const std::string& got)
{
    std::fprintf(stderr, "%s: expected [%s], got [%s]\n", what, expected.c_str(), got.c_str());
    std::abort();
}

void check(const char* what, const std::string& expected, const std::string& got)
{
    if (expected != got)
        mismatch(what, expected, got);
}

// The first field by the documented rule, or nothing when the file holds no
// field at all. Only the UTF-16 decoding is the product's own.
std::optional<std::string> modelField(std::string_view raw)
{
    std::string text = commandText(raw);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text.erase(0, 3);
    if (text.empty())
        return std::nullopt;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::string field;
    if (i < text.size() && text[i] == '"') {
        for (++i; i < text.size(); ++i) {
            if (text[i] == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                    continue;
                }
                break;
            }
            field += text[i];
        }
        return field;
    }
    while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
        field += text[i++];
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.pop_back();
    return field;
}

struct Expected {
    bool handled = false; // logged, answered and the command file deleted
    std::string entry;    // the log entry without its line end
    std::vector<std::string> cues;
    std::vector<std::pair<std::string, WindowStyle>> launches;
    bool pollOn = true;
};

Expected model(std::string_view raw, const std::string& date, const std::string& time)
{
    Expected e;
    const std::optional<std::string> field = modelField(raw);
    if (!field || field->empty())
        return e;
    const std::string& f = *field;
    std::string head = f.substr(0, 3);
    for (char& c : head)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    e.handled = true;
    if (f == "off" || f == "restart") {
        e.cues = {"shutdown.wav"};
        e.entry =
            (f == "off" ? "System Shutdown Acknowledged at:" : "System Restart Acknowledged at:") + time + ":" + date;
        e.launches = {{f == "off" ? "shutdown -h now" : "shutdown -r now", WindowStyle::Minimized}};
        e.pollOn = false;
    } else if (f == "report") {
        e.cues = {"relay.wav"};
        e.entry = "Report Requested and Generated at:" + date + ":" + time;
    } else if (head == "DEL") {
        e.entry = "HOSTILE COMMAND DEL:" + date + ":" + time;
    } else if (f.find('\0') != std::string::npos) {
        // Tried, refused by the launcher, and no trace of it.
        e.handled = false;
        e.launches = {{f, WindowStyle::Normal}};
    } else {
        e.cues = {"command.wav"};
        e.entry = "Executing Remote Command:" + f + " at:" + date + ":" + time;
        e.launches = {{f, WindowStyle::Normal}};
    }
    return e;
}

// One console for the whole run: started once, then polled once per input.
struct World {
    SimConsole c;
    World()
    {
        c.sim.events.limit = 1LL << 60;
        c.dir.write("config.ini",
                    configLines({"NORM", c.exchange.path(), "", "1", "1", "REMOTEON", "SOUNDON", "COMMENTSOFF"}));
        c.form->Form_Load();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World w;
    Form1& form = *w.c.form;
    SimPlatform& sim = w.c.sim;
    const std::string raw(reinterpret_cast<const char*>(data), std::min(size, kCommandReadLimit));
    const std::string commandFile = w.c.exchange.file("command.txt"), resultFile = w.c.exchange.file("Result.txt");

    form.cmdClear_Click();
    sim.sound.cues.clear();
    sim.launcher.launches.clear();
    std::filesystem::remove(resultFile);
    w.c.exchange.write("command.txt", raw);
    // A fresh period: the poll comes exactly 10 s from now.
    form.state().Timer2->setEnabled(false);
    form.state().Timer2->setEnabled(true);
    sim.events.runFor(10000);

    const Expected e = model(raw, sim.clock.dateText(), sim.clock.timeText());
    const std::string log = e.handled ? e.entry + "\r\n" : "";
    check("log", log, form.state().DumpString.text());
    check("log box", form.state().DumpString.text(), sim.view.logBox);
    check("Result.txt", e.handled ? log + "\r\n" : "(none)",
          std::filesystem::exists(resultFile) ? w.c.exchange.read("Result.txt") : "(none)");
    check("command file", e.handled ? "deleted" : "kept", std::filesystem::exists(commandFile) ? "kept" : "deleted");
    std::string cues, expectedCues;
    for (const std::string& n : sim.sound.names())
        cues += n + " ";
    for (const std::string& n : e.cues)
        expectedCues += n + " ";
    check("cues", expectedCues, cues);
    std::string launches, expectedLaunches;
    for (const Launch& l : sim.launcher.launches)
        launches += l.commandLine + (l.style == WindowStyle::Normal ? " [1]\n" : " [2]\n");
    for (const auto& [line, style] : e.launches)
        expectedLaunches += line + (style == WindowStyle::Normal ? " [1]\n" : " [2]\n");
    check("launches", expectedLaunches, launches);
    check("poll", e.pollOn ? "on" : "off", form.state().Timer2->enabled() ? "on" : "off");
    std::filesystem::remove(commandFile);
    return 0;
}
