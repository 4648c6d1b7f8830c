#include "settings/ConfigFile.h"

#include "base/Failure.h"
#include "base/Number.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"
#include "settings/FieldReader.h"

#include <filesystem>
#include <map>
#include <new>
#include <system_error>

namespace torv {

int16 parseTime(const std::string& value)
{
    // The number the text begins with, as the editor's time check sees it: the
    // editor keeps "5x" or "1.5" as typed, and they must read back as the
    // number the editor accepted, rounded the one way numbers are rounded here.
    return roundToInt16(leadingNumber(value));
}

void parseConfig(const std::string& text, SettingsRecord& s, TaskTable& tasks, int16& totalApps, TimeTexts* asWritten)
{
    FieldReader in(text);
    s.LaunchOpt = in.next();
    s.ExchangeDir = in.next();
    s.UserCmd = in.next();
    TimeTexts times;
    times.InitTime = in.next();
    s.InitTime = parseTime(times.InitTime);
    times.CheckTime = in.next();
    s.CheckTime = parseTime(times.CheckTime);
    if (asWritten)
        *asWritten = times;
    s.RemoteOpt = in.next();
    s.Sounds = in.next();
    s.UserComment = in.next();
    int count = 0;
    // Blank lines after the last value are what many editors leave there; they
    // are no description, so no task.
    while (!in.onlyBlankLinesLeft()) {
        ++count;
        if (count > kMaxTasks)
            throw Failure::subscriptOutOfRange();
        tasks.TaskDesc[count] = in.next();
        tasks.TaskLoc[count] = in.next();
    }
    totalApps = static_cast<int16>(count);
    // The slots above the new total are cleared. Left in place, a task removed
    // from the file by hand would come back at the editor's next save (it saves
    // every slot with a location) and a task loop still under way would launch it.
    for (int i = count + 1; i <= kMaxTasks; ++i) {
        tasks.TaskDesc[i].clear();
        tasks.TaskLoc[i].clear();
    }
}

namespace {

// The encoding each config.ini was read in, so a save writes it back the same
// way (a file of an older console in the ANSI code page stays in it).
std::map<std::string, TextEncoding>& readEncodings()
{
    static std::map<std::string, TextEncoding> encodings;
    return encodings;
}

} // namespace

void readConfig(const std::string& path, SettingsRecord& settings, TaskTable& tasks, int16& totalApps,
                TimeTexts* asWritten)
{
    // Every failure here must be one that start-up's rule handles, and none but
    // a genuinely short file may be 62 (that one is replaced by the default
    // file) or a missing one 53 (the first run). A pipe, a device, an endless
    // or oversized file is 75 and ends in the abnormal stop with the file left
    // as it is; so does running out of memory, as 7.
    try {
        const std::string bytes = readRegularFile(path, kConfigReadLimit + 1, Links::Follow);
        if (bytes.size() > kConfigReadLimit)
            throw Failure::pathFileAccess();
        TextEncoding encoding = TextEncoding::Utf8;
        const std::string text = decodeFileText(bytes, encoding);
        parseConfig(text, settings, tasks, totalApps, asWritten);
        readEncodings()[path] = encoding;
    } catch (const std::bad_alloc&) {
        throw Failure::outOfMemory();
    }
}

std::string encodeValue(const std::string& value)
{
    bool quote = false;
    if (!value.empty()) {
        char first = value.front(), last = value.back();
        quote = first == '"' || first == ' ' || first == '\t' || last == ' ' || last == '\t';
    }
    for (char c : value)
        if (c == ',' || c == '\r' || c == '\n')
            quote = true;
    if (!quote)
        return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string formatConfig(const EditorValues& v, const TaskTable& tasks)
{
    std::string out;
    auto line = [&out](const std::string& value) {
        out += encodeValue(value);
        out += "\r\n";
    };
    line(v.LaunchOpt);
    line(v.ExchangeDir);
    line(v.UserCmd);
    line(v.InitTimeText);
    line(v.CheckTimeText);
    line(v.remoteOn ? "REMOTEON" : "REMOTEOFF");
    line(v.soundOn ? "SOUNDON" : "SOUNDOFF");
    line(v.commentsOn ? "COMMENTSON" : "COMMENTSOFF");
    for (int i = 1; i <= kMaxTasks; ++i) {
        if (tasks.TaskLoc[i].empty())
            continue;
        line(tasks.TaskDesc[i]);
        line(tasks.TaskLoc[i]);
    }
    return out;
}

namespace {

WriteRules configWriteRules()
{
    // The program folder is the administrator's: a linked config.ini is managed
    // elsewhere and stays a link; mode, owner and group stay as they were set.
    return {.followLink = true, .keepOwner = true, .attributesFrom = {}};
}

} // namespace

void saveConfig(const std::string& path, const EditorValues& values, const TaskTable& tasks)
{
    const auto known = readEncodings().find(path);
    const TextEncoding encoding = known == readEncodings().end() ? TextEncoding::Utf8 : known->second;
    writeFileAtomically(path, encodeFileText(formatConfig(values, tasks), encoding), configWriteRules());
}

std::optional<std::string> configBytesIfChanged(const std::string& path, const EditorValues& values,
                                                const TaskTable& tasks)
{
    std::string before;
    bool exists = true;
    try {
        before = readRegularFile(path, kConfigReadLimit + 1, Links::Follow);
    } catch (const Failure& failure) {
        if (failure.code != 53)
            throw;
        exists = false;
    }
    if (before.size() > kConfigReadLimit)
        throw Failure::pathFileAccess();
    TextEncoding encoding = TextEncoding::Utf8;
    if (exists)
        decodeFileText(before, encoding);
    std::string after = encodeFileText(formatConfig(values, tasks), encoding);
    if (exists && after == before)
        return std::nullopt;
    return after;
}

void writeConfigBytes(const std::string& path, const std::string& bytes)
{
    writeFileAtomically(path, bytes, configWriteRules());
}

std::string defaultConfigText()
{
    return "NORM\r\n"
           "C:\\wwwroot\\Iserver\r\n"
           "c:\\windows\\mscalc.exe\r\n"
           "30\r\n"
           "10\r\n"
           "REMOTEON\r\n"
           "SOUNDON\r\n"
           "COMMENTSOFF\r\n"
           "Running Notepad\r\n"
           "notepad.exe\r\n";
}

std::string replaceWithDefault(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        // Keep the user's damaged file, written like every other file (a link
        // planted under the backup's name is replaced, a failed write leaves the
        // old backup) and as private as config.ini. config.ini itself is not
        // touched until its copy is safe.
        const std::string backup = path + ".bak";
        try {
            writeFileAtomically(backup, readRegularFile(path, kConfigReadLimit, Links::Follow),
                                {.followLink = false, .keepOwner = true, .attributesFrom = path});
        } catch (const Failure&) {
            return backup;
        } catch (const std::bad_alloc&) {
            return backup;
        }
    }
    try {
        writeFileAtomically(path, defaultConfigText(), configWriteRules());
    } catch (const Failure&) {
        return path;
    }
    return {};
}

} // namespace torv
