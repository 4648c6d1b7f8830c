#include "settings/ConfigJson.h"

#include "base/Failure.h"
#include "ports/Files.h"
#include "settings/ConfigFile.h"
#include "settings/OptionsRules.h"
#include "settings/TaskChecks.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <new>
#include <optional>

namespace torv {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";

// The eight settings in file order, under the names the console uses.
constexpr std::array<const char*, 8> kSettingNames = {"LaunchOpt", "ExchangeDir", "UserCmd", "InitTime",
                                                      "CheckTime", "RemoteOpt",   "Sounds",  "UserComment"};

std::string dump(const Json& json)
{
    // Text read from the files is UTF-8 already; the replacement only guards
    // the output against a byte that slipped through.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The rule a section name belongs to: "alert" or "task 3" against "task".
const OptionsSectionRule* ruleFor(const std::vector<OptionsSectionRule>& rules, const std::string& name)
{
    for (const auto& rule : rules) {
        if (rule.maxNumber == 0 && name == rule.name)
            return &rule;
        if (rule.maxNumber > 0 && name.size() > rule.name.size() + 1 &&
            name.compare(0, rule.name.size(), rule.name) == 0 && name[rule.name.size()] == ' ') {
            const std::string digits = name.substr(rule.name.size() + 1);
            if (digits.size() <= 6 &&
                std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                digits.front() != '0' && std::stoi(digits) <= rule.maxNumber)
                return &rule;
        }
    }
    return nullptr;
}

// --- reading ---

Json checksJson(const TaskChecks& checks)
{
    auto texts = [](const std::vector<Check>& list) {
        Json out = Json::array();
        for (const auto& check : list)
            out.push_back(check.text);
        return out;
    };
    Json out{{"before", texts(checks.before)},
             {"ready", texts(checks.ready)},
             {"timeout", checks.timeout},
             {"on-timeout", onTimeoutWord(checks.onTimeout)},
             {"ca-file", checks.caFile},
             {"interval", checks.interval},
             {"restart", restartWord(checks.keep.restart)},
             {"stop", stopWord(checks.keep.stop)}};
    for (const KeepNumberKey& key : kKeepNumberKeys)
        out[key.name] = checks.keep.*key.field;
    return out;
}

// Every section but the tasks', key by key as the rules name them: a key
// that may repeat is a list, any other its value that counts.
Json otherSectionsJson(const OptionsFile& file, const std::vector<OptionsSectionRule>& rules)
{
    Json out = Json::object();
    for (const auto& section : file.sections) {
        const OptionsSectionRule* rule = ruleFor(rules, section.name);
        if (!rule || isTaskSection(section.name))
            continue;
        Json values = Json::object();
        for (const auto& key : rule->keys) {
            const std::string name(key.name);
            if (key.repeats) {
                Json list = Json::array();
                for (const OptionsValue* value : section.all(name))
                    list.push_back(value->value);
                if (!list.empty())
                    values[name] = list;
            } else if (const OptionsValue* value = section.last(name)) {
                values[name] = value->value;
            }
        }
        out[section.name] = values;
    }
    return out;
}

// --- writing ---

// A refused input: its message says which value and why.
struct Refused {
    std::string text;
};

const std::string& text(const Json& json, const std::string& where)
{
    if (!json.is_string())
        throw Refused{where + ": expected a text"};
    const std::string& value = json.get_ref<const std::string&>();
    // A NUL ends the text where the system reads it: "path:/srv\0/x" would
    // check "/srv".
    if (value.find('\0') != std::string::npos)
        throw Refused{where + ": a NUL character (\\u0000) cannot stand in the files"};
    // --check-config prints U+FFFD for bytes that are not UTF-8; written
    // back, it would replace them for good.
    if (value.find(kReplacementCharacter) != std::string::npos)
        throw Refused{where + ": U+FFFD stands for bytes that were not UTF-8; give the value in UTF-8"};
    return value;
}

std::string word(const Json& settings, const char* name, std::initializer_list<const char*> words)
{
    const std::string& value = text(settings.at(name), name);
    for (const char* w : words)
        if (value == w)
            return value;
    std::string list;
    for (const char* w : words)
        list += (list.empty() ? "" : ", ") + std::string(w);
    throw Refused{std::string(name) + " = \"" + value + "\": expected one of " + list};
}

std::string timeText(const Json& settings, const char* name)
{
    const std::string& value = text(settings.at(name), name);
    try {
        parseTime(value);
    } catch (const Failure&) {
        throw Refused{std::string(name) + " = \"" + value + "\": a time outside what the console can read"};
    }
    return value;
}

void refuseUnknownKeys(const Json& object, std::initializer_list<const char*> known, const std::string& where)
{
    if (!object.is_object())
        throw Refused{where + ": expected an object"};
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return key == k; }))
            throw Refused{where + ": unknown key \"" + key + "\""};
    }
}

void needHoldable(const std::string& value, const std::string& where)
{
    if (!optionsCanHold(value))
        throw Refused{where + " = \"" + value + "\": torv.ini cannot hold a line break or a blank at either end"};
}

EditorValues settingsFrom(const Json& settings)
{
    refuseUnknownKeys(settings,
                      {kSettingNames[0], kSettingNames[1], kSettingNames[2], kSettingNames[3], kSettingNames[4],
                       kSettingNames[5], kSettingNames[6], kSettingNames[7]},
                      "settings");
    for (const char* name : kSettingNames)
        if (!settings.contains(name))
            throw Refused{std::string("settings: \"") + name + "\" is missing"};
    EditorValues v;
    v.LaunchOpt = word(settings, "LaunchOpt", {"EXIT", "MIN", "NORM"});
    v.ExchangeDir = text(settings.at("ExchangeDir"), "ExchangeDir");
    v.UserCmd = text(settings.at("UserCmd"), "UserCmd");
    v.InitTimeText = timeText(settings, "InitTime");
    v.CheckTimeText = timeText(settings, "CheckTime");
    v.remoteOn = word(settings, "RemoteOpt", {"REMOTEON", "REMOTEOFF"}) == "REMOTEON";
    v.soundOn = word(settings, "Sounds", {"SOUNDON", "SOUNDOFF"}) == "SOUNDON";
    v.commentsOn = word(settings, "UserComment", {"COMMENTSON", "COMMENTSOFF"}) == "COMMENTSON";
    return v;
}

// interval and the keys of keeping a task running, each optional.
void keepFrom(const Json& json, const std::string& where, TaskChecks& checks)
{
    if (json.contains("interval")) {
        // 0: each kind's own pace, as --check-config shows it.
        const Json& seconds = json.at("interval");
        const double value = seconds.is_number() ? seconds.get<double>() : -1;
        if (value != 0 && !(value >= kShortestInterval && value <= kLongestInterval))
            throw Refused{where + ".interval: expected seconds from 0.1 to 60 (0: each kind's own pace)"};
        checks.interval = value;
    }
    if (json.contains("restart")) {
        const std::string& word = text(json.at("restart"), where + ".restart");
        const auto policy = restartPolicyOf(word);
        if (!policy || word != restartWord(*policy))
            throw Refused{where + ".restart = \"" + word + "\": expected no, on-failure or always"};
        checks.keep.restart = *policy;
    }
    if (json.contains("stop")) {
        const std::string& word = text(json.at("stop"), where + ".stop");
        const auto policy = stopPolicyOf(word);
        if (!policy || word != stopWord(*policy))
            throw Refused{where + ".stop = \"" + word + "\": expected no or on-exit"};
        checks.keep.stop = *policy;
    }
    for (const KeepNumberKey& key : kKeepNumberKeys) {
        if (!json.contains(key.name))
            continue;
        const Json& n = json.at(key.name);
        if (!n.is_number_integer() || n.get<long long>() < key.least || n.get<long long>() > key.most)
            throw Refused{where + "." + key.name + ": " + keepNumberRange(key)};
        checks.keep.*key.field = n.get<int>();
    }
}

TaskChecks checksFrom(const Json& json, const std::string& where)
{
    refuseUnknownKeys(json,
                      {"before", "ready", "timeout", "on-timeout", "ca-file", "interval", "restart", "stop",
                       kKeepNumberKeys[0].name, kKeepNumberKeys[1].name, kKeepNumberKeys[2].name,
                       kKeepNumberKeys[3].name, kKeepNumberKeys[4].name},
                      where);
    TaskChecks checks;
    for (const char* kind : {"before", "ready"}) {
        if (!json.contains(kind))
            continue;
        const Json& list = json.at(kind);
        if (!list.is_array())
            throw Refused{where + "." + kind + ": expected a list of checks"};
        for (const Json& item : list) {
            const std::string& checkText = text(item, where + "." + kind);
            needHoldable(checkText, where + "." + kind);
            std::string why;
            auto check = parseCheck(checkText, why);
            if (!check)
                throw Refused{where + "." + kind + " = \"" + checkText + "\": " + why};
            (std::string(kind) == "before" ? checks.before : checks.ready).push_back(*check);
        }
    }
    if (json.contains("timeout")) {
        const Json& t = json.at("timeout");
        if (!t.is_number_integer() || t.get<long long>() < 0 || t.get<long long>() > 86400)
            throw Refused{where + ".timeout: expected seconds from 0 to 86400"};
        checks.timeout = t.get<int>();
    }
    if (json.contains("on-timeout")) {
        const std::string& policy = text(json.at("on-timeout"), where + ".on-timeout");
        if (policy == "skip")
            checks.onTimeout = OnTimeout::Skip;
        else if (policy == "stop")
            checks.onTimeout = OnTimeout::Stop;
        else if (policy != "continue")
            throw Refused{where + ".on-timeout = \"" + policy + "\": expected continue, skip or stop"};
    }
    if (json.contains("ca-file")) {
        checks.caFile = text(json.at("ca-file"), where + ".ca-file");
        needHoldable(checks.caFile, where + ".ca-file");
    }
    keepFrom(json, where, checks);
    return checks;
}

// Returns the number of tasks.
int tasksFrom(const Json& json, TaskTable& tasks, CheckTable& checks)
{
    if (!json.is_array())
        throw Refused{"tasks: expected a list"};
    if (json.size() > static_cast<std::size_t>(kMaxTasks))
        throw Refused{"tasks: at most " + std::to_string(kMaxTasks) + " tasks"};
    int n = 0;
    for (const Json& task : json) {
        ++n;
        const std::string where = "task " + std::to_string(n);
        refuseUnknownKeys(task, {"description", "command", "checks"}, where);
        if (task.contains("description"))
            tasks.TaskDesc[n] = text(task.at("description"), where + ".description");
        if (!task.contains("command") || text(task.at("command"), where + ".command").empty())
            throw Refused{where + ": a task needs a command"};
        tasks.TaskLoc[n] = task.at("command").get<std::string>();
        if (task.contains("checks"))
            checks[n] = checksFrom(task.at("checks"), where + ".checks");
    }
    return n;
}

std::vector<OptionsSectionText> otherSectionsFrom(const Json& json, const std::vector<OptionsSectionRule>& rules)
{
    if (!json.is_object())
        throw Refused{"sections: expected an object"};
    std::vector<OptionsSectionText> out;
    for (const auto& [givenName, values] : json.items()) {
        const std::string name = normalSectionName(givenName);
        const OptionsSectionRule* rule = ruleFor(rules, name);
        if (!rule || isTaskSection(name) || name != givenName)
            throw Refused{"sections: unknown section \"" + givenName + "\""};
        if (!values.is_object())
            throw Refused{"[" + name + "]: expected an object"};
        OptionsSectionText section{name, {}};
        // In the rule's order, so that the same settings give the same bytes.
        for (const auto& key : rule->keys) {
            const std::string keyName(key.name);
            if (!values.contains(keyName))
                continue;
            const std::string where = "[" + name + "] " + keyName;
            const Json& value = values.at(keyName);
            if (key.repeats && value.is_array()) {
                for (const Json& item : value) {
                    needHoldable(text(item, where), where);
                    section.values.emplace_back(keyName, item.get<std::string>());
                }
            } else {
                needHoldable(text(value, where), where);
                section.values.emplace_back(keyName, value.get<std::string>());
            }
        }
        for (const auto& item : values.items()) {
            const std::string& key = item.key();
            if (std::none_of(rule->keys.begin(), rule->keys.end(), [&](const OptionsKey& k) { return k.name == key; }))
                throw Refused{"[" + name + "]: unknown key \"" + key + "\""};
        }
        out.push_back(std::move(section));
    }
    return out;
}

// Start-up reads what is written with the same readers: a value they would
// report and ignore is refused instead of written ("events = stop").
void refuseWhatReadingReports(const std::vector<OptionsSectionText>& sections, const TaskTable& tasks, int count,
                              const std::vector<OptionsSectionRule>& rules)
{
    const auto noneKept = [](const std::string&) { return false; };
    OptionsFile file = parseOptions(rewriteOptions({}, noneKept, sections), rules);
    readTaskChecks(file, tasks, count);
    readFeatureOptions(file);
    if (file.problems.empty())
        return;
    const OptionsProblem& problem = file.problems.front();
    // The line is one of the text just made up: name its section instead.
    std::string section;
    for (const auto& s : file.sections)
        if (s.line <= problem.line)
            section = s.name;
    throw Refused{(problem.text.front() == '[' ? "" : "[" + section + "] ") + problem.text};
}

// Values start-up takes as they are but the JSON cannot show: bytes that are
// not UTF-8 come out as U+FFFD, which --write-config refuses.
const char* const kNotUtf8 = " is not UTF-8; the JSON shows U+FFFD in its place";

void reportNotUtf8(const Json& json, std::vector<std::string>& warnings)
{
    for (const auto& item : json.at("settings").items())
        if (!isValidUtf8(item.value().get_ref<const std::string&>()))
            warnings.push_back("config.ini: " + item.key() + kNotUtf8);
    int n = 0;
    for (const Json& task : json.at("tasks")) {
        ++n;
        for (const char* key : {"description", "command"})
            if (!isValidUtf8(task.at(key).get_ref<const std::string&>()))
                warnings.push_back("config.ini: the " + std::string(key) + " of task " + std::to_string(n) + kNotUtf8);
    }
}

void reportNotUtf8(OptionsFile& file)
{
    for (const auto& section : file.sections)
        for (const auto& value : section.values)
            if (!isValidUtf8(value.value))
                file.report(value.line, "[" + section.name + "] " + value.key + kNotUtf8);
}

} // namespace

ConfigToolResult checkConfig(const std::string& configPath, const std::string& optionsPath,
                             const std::vector<OptionsSectionRule>& rules)
{
    SettingsRecord settings;
    TaskTable tasks;
    int16 totalApps = 0;
    TimeTexts times;
    try {
        readConfig(configPath, settings, tasks, totalApps, &times);
    } catch (const Failure& failure) {
        return {failure.code == 53 ? 2 : 3, {}, "torv: " + configPath + ": " + failure.text() + "\n"};
    }
    OptionsFile file;
    if (!optionsPath.empty())
        file = readOptions(optionsPath, rules);
    const CheckTable checks = readTaskChecks(file, tasks, totalApps);
    readFeatureOptions(file); // for the problems start-up would report
    reportNotUtf8(file);

    Json json;
    json["settings"] = Json{{"LaunchOpt", settings.LaunchOpt}, {"ExchangeDir", settings.ExchangeDir},
                            {"UserCmd", settings.UserCmd},     {"InitTime", times.InitTime},
                            {"CheckTime", times.CheckTime},    {"RemoteOpt", settings.RemoteOpt},
                            {"Sounds", settings.Sounds},       {"UserComment", settings.UserComment}};
    Json taskList = Json::array();
    for (int n = 1; n <= totalApps; ++n) {
        Json task{{"description", tasks.TaskDesc[n]}, {"command", tasks.TaskLoc[n]}};
        // A section that changes nothing is not saved either.
        if (const auto found = checks.find(n); found != checks.end() && !found->second.unused())
            task["checks"] = checksJson(found->second);
        taskList.push_back(task);
    }
    json["tasks"] = taskList;
    json["sections"] = otherSectionsJson(file, rules);
    std::vector<std::string> warnings;
    reportNotUtf8(json, warnings);
    for (std::string& line : file.problemLines())
        warnings.push_back(std::move(line));
    json["warnings"] = warnings;
    return {warnings.empty() ? 0 : 4, dump(json), {}};
}

ConfigToolResult writeConfig(const std::string& configPath, const std::string& optionsPath, const std::string& input,
                             const std::vector<OptionsSectionRule>& rules)
{
    const std::string nothing = "\nNothing was written.\n";
    if (input.size() > kConfigJsonLimit)
        return {1, {}, "torv: the JSON is larger than 4 MiB" + nothing};
    EditorValues values;
    TaskTable tasks;
    CheckTable checks;
    std::vector<OptionsSectionText> sections;
    try {
        const Json json = Json::parse(input);
        refuseUnknownKeys(json, {"settings", "tasks", "sections", "warnings"}, "the settings");
        if (!json.contains("settings"))
            throw Refused{"\"settings\" is missing"};
        values = settingsFrom(json.at("settings"));
        const int count = json.contains("tasks") ? tasksFrom(json.at("tasks"), tasks, checks) : 0;
        sections = taskCheckSections(checks, tasks);
        if (json.contains("sections")) {
            auto other = otherSectionsFrom(json.at("sections"), rules);
            sections.insert(sections.end(), other.begin(), other.end());
        }
        refuseWhatReadingReports(sections, tasks, count, rules);
    } catch (const Json::exception& e) {
        return {1, {}, "torv: the settings are not JSON: " + std::string(e.what()) + nothing};
    } catch (const Refused& refused) {
        return {1, {}, "torv: " + refused.text + nothing};
    } catch (const std::bad_alloc&) {
        return {1, {}, "torv: " + Failure::outOfMemory().text() + nothing};
    }
    // Both files are read and their new bytes made before either is written:
    // a torv.ini that cannot be read leaves config.ini as it was.
    auto ours = [&rules](const std::string& name) { return isTaskSection(name) || ruleFor(rules, name) != nullptr; };
    std::optional<std::string> configBytes, optionsBytes;
    const std::string* path = &configPath;
    try {
        configBytes = configBytesIfChanged(configPath, values, tasks);
        path = &optionsPath;
        optionsBytes = rewrittenOptions(optionsPath, ours, sections);
    } catch (const Failure& failure) {
        return {1, {}, "torv: " + *path + ": " + failure.text() + nothing};
    }
    try {
        path = &configPath;
        if (configBytes)
            writeConfigBytes(configPath, *configBytes);
        path = &optionsPath;
        if (optionsBytes)
            writeOptionsBytes(optionsPath, *optionsBytes);
    } catch (const Failure& failure) {
        // config.ini written and torv.ini not: its sections name their tasks'
        // locations, so none guards the wrong program.
        const bool half = path == &optionsPath && configBytes;
        return {1,
                {},
                "torv: " + *path + " could not be written: " + failure.text() +
                    (half ? "\nconfig.ini was written.\n" : nothing)};
    }
    return {0, configBytes || optionsBytes ? "changed\n" : "unchanged\n", {}};
}

} // namespace torv
