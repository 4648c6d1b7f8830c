#pragma once
// config.ini: reading, the editor's save and the default file.
#include "settings/Settings.h"

#include <cstddef>
#include <optional>
#include <string>

namespace torv {

// Far above any real file: a full table of 100 tasks with 32 KiB values in
// every field is about 7 MB.
inline constexpr std::size_t kConfigReadLimit = 16 * 1024 * 1024;

// Reads the settings and the tasks straight into the caller's record and table,
// value by value, so a failure leaves what was read before it (start-up's
// failure rule looks at LaunchOpt as it then stands). Slots above the new
// TotalApps are cleared so a stale task is never saved again.
// Failures: 53 missing file, 62 file ends early, 9 more than 100 tasks,
// 6 a time outside the 16-bit range, 75 not a regular file (a pipe, a device)
// or larger than kConfigReadLimit, 7 out of memory.
// `asWritten`, when given, receives the two times as the file holds them.
struct TimeTexts {
    std::string InitTime;
    std::string CheckTime;
};
void readConfig(const std::string& path, SettingsRecord& settings, TaskTable& tasks, int16& totalApps,
                TimeTexts* asWritten = nullptr);
void parseConfig(const std::string& text, SettingsRecord& settings, TaskTable& tasks, int16& totalApps,
                 TimeTexts* asWritten = nullptr);

// A time read from the file: the number it begins with, rounded half to even
// ("5x" is 5, "1.5" is 2, "2.5" is 2); empty or not a number reads 0; outside
// 16 bits: 6.
int16 parseTime(const std::string& value);

// What the settings editor saves: the eight values as the editor holds them
// (the times as typed), then every slot 1..100 that has a location.
struct EditorValues {
    std::string LaunchOpt; // "EXIT", "MIN" or "NORM"
    std::string ExchangeDir;
    std::string UserCmd;
    std::string InitTimeText;
    std::string CheckTimeText;
    bool remoteOn = false;
    bool soundOn = false;
    bool commentsOn = false;
};

std::string formatConfig(const EditorValues& values, const TaskTable& tasks);
// Writes through a temporary file and a rename: a failed save leaves the old
// file whole. A linked config.ini writes the file it points to; the file keeps
// its mode, owner and group. Throws a Failure.
void saveConfig(const std::string& path, const EditorValues& values, const TaskTable& tasks);
// The same save for a tool, in two steps so that it can find out first
// whether every file can be written: the bytes in the encoding the file on
// disk has now, or nothing when they would not change (a file left alone
// keeps its time); then their atomic write. Both throw a Failure.
std::optional<std::string> configBytesIfChanged(const std::string& path, const EditorValues& values,
                                                const TaskTable& tasks);
void writeConfigBytes(const std::string& path, const std::string& bytes);

// The ten-line file start-up writes when config.ini ends too early.
std::string defaultConfigText();
// Keeps the damaged file as config.ini.bak, then writes the default file.
// Returns the path of the file that could not be written (config.ini is then
// left as it was), or an empty text when both were written. Never throws.
std::string replaceWithDefault(const std::string& path);

// One value as a line of the file: quoted when it would not read back as is.
std::string encodeValue(const std::string& value);

} // namespace torv
