#include "settings/OptionsFile.h"

#include "base/AsciiCase.h"
#include "base/Failure.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"

#include <algorithm>
#include <new>

namespace torv {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

bool isHeader(std::string_view trimmed)
{
    return !trimmed.empty() && trimmed.front() == '[';
}

// The lines of a text, each with its line end as it stands.
std::vector<std::string_view> rawLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

std::string_view withoutLineEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

constexpr int kLeadingZero = -1;

// "task 12" against a numbered rule "task": 12; 0 when it is not one;
// kLeadingZero for "task 01", which would otherwise stand for "task 1" and
// silently replace it.
int sectionNumber(const std::string& name, const OptionsSectionRule& rule)
{
    if (rule.maxNumber == 0 || name.size() <= rule.name.size() + 1 ||
        name.compare(0, rule.name.size(), rule.name) != 0 || name[rule.name.size()] != ' ')
        return 0;
    const std::string digits = name.substr(rule.name.size() + 1);
    if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    if (digits.size() > 1 && digits.front() == '0')
        return kLeadingZero;
    const int n = std::stoi(digits);
    return n >= 1 && n <= rule.maxNumber ? n : 0;
}

struct Matched {
    const OptionsSectionRule* rule = nullptr;
    int number = 0;
};

Matched matchRule(const std::string& name, const std::vector<OptionsSectionRule>& rules)
{
    for (const auto& rule : rules) {
        if (rule.maxNumber == 0 && name == rule.name)
            return {&rule, 0};
        if (const int n = sectionNumber(name, rule))
            return {&rule, n};
    }
    return {};
}

const OptionsKey* findKey(const OptionsSectionRule& rule, const std::string& key)
{
    for (const auto& k : rule.keys)
        if (k.name == key)
            return &k;
    return nullptr;
}

} // namespace

std::string normalSectionName(std::string_view text)
{
    std::string out;
    bool gap = false;
    for (char c : trim(text)) {
        if (isBlank(c)) {
            gap = true;
            continue;
        }
        if (gap && !out.empty())
            out += ' ';
        gap = false;
        out += c;
    }
    return asciiLower(out);
}

std::vector<const OptionsValue*> OptionsSection::all(std::string_view key) const
{
    std::vector<const OptionsValue*> found;
    for (const auto& v : values)
        if (v.key == key)
            found.push_back(&v);
    return found;
}

const OptionsValue* OptionsSection::last(std::string_view key) const
{
    const auto found = all(key);
    return found.empty() ? nullptr : found.back();
}

const OptionsSection* OptionsFile::find(std::string_view name) const
{
    for (const auto& s : sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

std::vector<const OptionsSection*> OptionsFile::numbered(std::string_view ruleName) const
{
    std::vector<const OptionsSection*> found;
    for (const auto& s : sections)
        if (s.number > 0 && s.name.compare(0, ruleName.size(), ruleName) == 0 && s.name.size() > ruleName.size() &&
            s.name[ruleName.size()] == ' ')
            found.push_back(&s);
    return found;
}

std::vector<std::string> OptionsFile::problemLines() const
{
    std::vector<OptionsProblem> sorted = problems;
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.line < b.line; });
    std::vector<std::string> lines;
    for (const auto& p : sorted)
        lines.push_back(std::string(kOptionsFileName) + (p.line > 0 ? " line " + std::to_string(p.line) : "") + ": " +
                        p.text);
    return lines;
}

namespace {

// Where the lines below a header go: a known section, or nowhere (an unknown
// or bad header was reported once; its lines are not reported again).
struct Target {
    OptionsSection* section = nullptr;
    const OptionsSectionRule* rule = nullptr;
    bool ignored = false;
};

// The section a header line opens, a new one or one given before; a bad or
// unknown header is reported and opens none.
Target openSection(OptionsFile& file, int number, std::string_view line, const std::vector<OptionsSectionRule>& rules)
{
    const Target nowhere{nullptr, nullptr, true};
    if (line.back() != ']') {
        file.report(number, "a section name must end with ']': " + std::string(line));
        return nowhere;
    }
    const std::string name = normalSectionName(line.substr(1, line.size() - 2));
    const Matched match = matchRule(name, rules);
    if (match.number == kLeadingZero) {
        file.report(number, "[" + name + "]: no leading zero in a " + std::string(match.rule->name) + " number");
        return nowhere;
    }
    if (!match.rule) {
        file.report(number, "unknown section [" + name + "]");
        return nowhere;
    }
    auto same = std::find_if(file.sections.begin(), file.sections.end(),
                             [&](const OptionsSection& s) { return s.name == name; });
    if (same != file.sections.end()) {
        file.report(number, "section [" + name + "] given again; its values join the first");
        return {&*same, match.rule, false};
    }
    file.sections.push_back({name, match.number, number, {}});
    return {&file.sections.back(), match.rule, false};
}

} // namespace

OptionsFile parseOptions(const std::string& text, const std::vector<OptionsSectionRule>& rules)
{
    OptionsFile file;
    file.present = true;
    Target target;
    int number = 0;
    for (std::string_view raw : rawLines(text)) {
        ++number;
        const std::string_view line = trim(withoutLineEnd(raw));
        if (line.empty() || isComment(line))
            continue;
        // A NUL would end the text where the system reads it ("path:/srv\0/x"
        // checks "/srv"): the line never counts. A header so spoiled ends the
        // section above it, as an unknown one does.
        if (line.find('\0') != std::string_view::npos) {
            file.report(number, "a NUL byte; the line is ignored");
            if (isHeader(line))
                target = {nullptr, nullptr, true};
            continue;
        }
        if (isHeader(line)) {
            target = openSection(file, number, line, rules);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            if (!target.ignored)
                file.report(number, "not a setting (name = value): " + std::string(line));
            continue;
        }
        if (target.ignored)
            continue;
        const std::string key = asciiLower(trim(line.substr(0, eq)));
        const std::string value(trim(line.substr(eq + 1)));
        OptionsSection* current = target.section;
        if (!current) {
            file.report(number, "\"" + key + "\" stands before any section");
            continue;
        }
        const OptionsKey* rule = findKey(*target.rule, key);
        if (!rule) {
            file.report(number, "unknown key \"" + key + "\" in [" + current->name + "]");
            continue;
        }
        if (!rule->repeats && current->last(key))
            file.report(number, "\"" + key + "\" given again in [" + current->name + "]; the last one counts");
        current->values.push_back({key, value, number});
    }
    return file;
}

OptionsFile readOptions(const std::string& path, const std::vector<OptionsSectionRule>& rules)
{
    if (fileMissing(path)) // the usual case, and the same as a read that finds nothing
        return {};
    try {
        const std::string bytes = readRegularFile(path, kOptionsReadLimit + 1, Links::Follow);
        if (bytes.size() > kOptionsReadLimit)
            throw Failure::pathFileAccess();
        TextEncoding encoding = TextEncoding::Utf8;
        return parseOptions(decodeFileText(bytes, encoding), rules);
    } catch (const Failure& failure) {
        OptionsFile empty;
        if (failure.code != 53) {
            empty.present = true;
            empty.report(0, "cannot be read (" + failure.text() + "); its settings are ignored");
        }
        return empty;
    } catch (const std::bad_alloc&) {
        OptionsFile empty;
        empty.present = true;
        empty.report(0, "cannot be read (" + Failure::outOfMemory().text() + "); its settings are ignored");
        return empty;
    }
}

bool optionsCanHold(const std::string& value)
{
    return value.find_first_of("\r\n") == std::string::npos && std::string_view(value) == trim(value);
}

namespace {

// Throws Failure 5 for a name or value the file could not hold as given.
void checkWritable(const std::vector<OptionsSectionText>& sections)
{
    for (const auto& section : sections) {
        if (!optionsCanHold(section.name) || section.name.find_first_of("[]") != std::string::npos)
            throw Failure::invalidCall();
        for (const auto& [key, value] : section.values)
            if (!optionsCanHold(key) || key.empty() || key.find('=') != std::string::npos || !optionsCanHold(value))
                throw Failure::invalidCall();
    }
}

// Which lines belong to a claimed section: its header and what follows, up
// to the next header, less the comments and blank lines right above that
// header (or at the end), which describe what comes next.
std::vector<bool> claimedLines(const std::vector<std::string_view>& lines,
                               const std::function<bool(const std::string& name)>& ours)
{
    std::vector<bool> claimed(lines.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = trim(withoutLineEnd(lines[i]));
        if (!isHeader(line) || line.back() != ']' || !ours(normalSectionName(line.substr(1, line.size() - 2))))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !isHeader(trim(withoutLineEnd(lines[end]))))
            ++end;
        std::size_t keepFrom = end;
        while (keepFrom > i + 1) {
            const std::string_view above = trim(withoutLineEnd(lines[keepFrom - 1]));
            if (!above.empty() && !isComment(above))
                break;
            --keepFrom;
        }
        for (std::size_t j = i; j < keepFrom; ++j)
            claimed[j] = true;
    }
    // Blank lines between two claimed sections only separated them; the new
    // block brings its own separators, and keeping those lines too would add
    // a blank line at every save, so that a save never came out unchanged.
    for (std::size_t i = 0; i < lines.size();) {
        if (claimed[i] || i == 0 || !claimed[i - 1]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < lines.size() && !claimed[end] && trim(withoutLineEnd(lines[end])).empty())
            ++end;
        if (end < lines.size() && claimed[end])
            std::fill(claimed.begin() + static_cast<std::ptrdiff_t>(i),
                      claimed.begin() + static_cast<std::ptrdiff_t>(end), true);
        i = end == i ? i + 1 : end;
    }
    return claimed;
}

std::string formatSections(const std::vector<OptionsSectionText>& sections, const std::string& eol)
{
    std::string block;
    for (const auto& section : sections) {
        if (!block.empty())
            block += eol;
        block += "[" + section.name + "]" + eol;
        for (const auto& [key, value] : section.values)
            block += key + " = " + value + eol;
    }
    return block;
}

// The unclaimed lines as they stand, with the block where the first claimed
// line was, or after them all when none was.
std::string splice(const std::vector<std::string_view>& lines, const std::vector<bool>& claimed,
                   const std::string& block, const std::string& eol)
{
    const auto first = std::find(claimed.begin(), claimed.end(), true);
    const auto firstClaimed = static_cast<std::size_t>(first - claimed.begin());
    std::string out;
    auto ensureLineEnd = [&] {
        if (!out.empty() && out.back() != '\n')
            out += eol;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == firstClaimed) {
            ensureLineEnd();
            out += block;
        }
        if (!claimed[i])
            out += lines[i];
    }
    if (firstClaimed == lines.size() && !block.empty()) {
        ensureLineEnd();
        // A blank line between what was there and the new sections.
        if (!out.empty() && !trim(withoutLineEnd(lines.back())).empty())
            out += eol;
        out += block;
    }
    return out;
}

} // namespace

std::string rewriteOptions(const std::string& text, const std::function<bool(const std::string& name)>& ours,
                           const std::vector<OptionsSectionText>& sections)
{
    checkWritable(sections);
    const std::vector<std::string_view> lines = rawLines(text);
    const std::string eol =
        text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos ? "\n" : "\r\n";
    return splice(lines, claimedLines(lines, ours), formatSections(sections, eol), eol);
}

std::optional<std::string> rewrittenOptions(const std::string& path,
                                            const std::function<bool(const std::string& name)>& ours,
                                            const std::vector<OptionsSectionText>& sections)
{
    std::string bytes;
    bool exists = true;
    try {
        bytes = readRegularFile(path, kOptionsReadLimit + 1, Links::Follow);
    } catch (const Failure& failure) {
        if (failure.code != 53)
            throw;
        exists = false;
    }
    if (bytes.size() > kOptionsReadLimit)
        throw Failure::pathFileAccess();
    if (!exists && sections.empty())
        return std::nullopt;
    TextEncoding encoding = TextEncoding::Utf8;
    const std::string text = exists ? decodeFileText(bytes, encoding) : std::string();
    std::string out = encodeFileText(rewriteOptions(text, ours, sections), encoding);
    if (exists && out == bytes)
        return std::nullopt;
    return out;
}

void writeOptionsBytes(const std::string& path, const std::string& bytes)
{
    // The program folder is the administrator's: a linked file stays a link,
    // and mode, owner and group stay as they were set.
    writeFileAtomically(path, bytes, {.followLink = true, .keepOwner = true, .attributesFrom = {}});
}

bool saveOptions(const std::string& path, const std::function<bool(const std::string& name)>& ours,
                 const std::vector<OptionsSectionText>& sections)
{
    const std::optional<std::string> bytes = rewrittenOptions(path, ours, sections);
    if (bytes)
        writeOptionsBytes(path, *bytes);
    return bytes.has_value();
}

} // namespace torv
