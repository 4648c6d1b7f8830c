#pragma once
// torv.ini: the optional file beside config.ini that holds everything beyond
// the classic settings, one section per feature. One reader and one writer
// serve every feature; each feature names its sections and keys in a rule
// table and reads its values from what the reader found.
//
// The grammar: `[section]` lines, `key = value` lines, blank lines and comment
// lines whose first non-blank character is ';' or '#'. A comment is only ever
// a line of its own, so a value runs to its line's end ("sh -c "a; b"",
// "http://h/x#y" stay whole). Names are case-insensitive; blanks around names
// and values are trimmed. Nothing in the file can stop the console: a line
// the rules do not know is reported once and ignored.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torv {

inline constexpr const char* kOptionsFileName = "torv.ini";
// Far above any real file; a larger one is reported and read as empty.
inline constexpr std::size_t kOptionsReadLimit = 1024 * 1024;

struct OptionsKey {
    std::string_view name;
    bool repeats = false; // may stand more than once (all values count)
};

// A section the program knows. A numbered rule ("task") matches "[task N]"
// for N from 1 to maxNumber.
struct OptionsSectionRule {
    std::string_view name;
    std::vector<OptionsKey> keys;
    int maxNumber = 0; // 0: not numbered
};

struct OptionsValue {
    std::string key; // lower case
    std::string value;
    int line = 0;
};

struct OptionsSection {
    std::string name; // lower case, one blank between words: "task 2"
    int number = 0;   // N of a numbered section, else 0
    int line = 0;
    std::vector<OptionsValue> values;

    // Every value given for a key, in the file's order.
    std::vector<const OptionsValue*> all(std::string_view key) const;
    // The value that counts for a key that does not repeat: the last one.
    const OptionsValue* last(std::string_view key) const;
};

struct OptionsProblem {
    int line = 0; // 0: the file as a whole
    std::string text;
};

class OptionsFile {
public:
    std::vector<OptionsSection> sections;
    // Problems found while reading; features add the values they refuse, so
    // that each reading reports each bad line once.
    std::vector<OptionsProblem> problems;
    // Whether a file was there at all.
    bool present = false;

    const OptionsSection* find(std::string_view name) const;
    // The numbered sections of one rule, in the file's order.
    std::vector<const OptionsSection*> numbered(std::string_view ruleName) const;
    void report(int line, std::string text) { problems.push_back({line, std::move(text)}); }
    // "torv.ini line 7: ..." for each problem, in line order.
    std::vector<std::string> problemLines() const;
};

OptionsFile parseOptions(const std::string& text, const std::vector<OptionsSectionRule>& rules);
// Reads the file: missing is an empty file, not present; unreadable, not a
// plain file or too large is one problem and an empty file. Never throws.
OptionsFile readOptions(const std::string& path, const std::vector<OptionsSectionRule>& rules);

// The normalised name of a section header's text ("  Task   2 " -> "task 2").
std::string normalSectionName(std::string_view text);

// --- writing ---

struct OptionsSectionText {
    std::string name; // as it is to appear between the brackets
    std::vector<std::pair<std::string, std::string>> values;
};

// Whether a value reads back exactly as given: one line, no blank at either end.
bool optionsCanHold(const std::string& value);

// The text with every section `ours` claims replaced by `sections`, which
// stand where the first claimed section stood (or at the end). Every other
// line, comments included, is kept as it was, and the comment lines right
// above a section stay with it. Line ends follow the text's own (CR LF for a
// new text). Throws Failure 5 for a value the file cannot hold.
std::string rewriteOptions(const std::string& text, const std::function<bool(const std::string& name)>& ours,
                           const std::vector<OptionsSectionText>& sections);

// Re-reads the file, rewrites it as above and replaces it atomically, in the
// encoding it was read in. A missing file with nothing to write is not
// created, and a file whose bytes would not change is not touched. Returns
// whether the file was written. Throws a Failure when it cannot be read or
// written (the file is then as it was).
// The same in two steps, for a caller that must know every file can be
// written before it writes any: the bytes to write, or nothing when the file
// is to stay as it is; then their atomic write. Both throw a Failure.
std::optional<std::string> rewrittenOptions(const std::string& path,
                                            const std::function<bool(const std::string& name)>& ours,
                                            const std::vector<OptionsSectionText>& sections);
void writeOptionsBytes(const std::string& path, const std::string& bytes);

bool saveOptions(const std::string& path, const std::function<bool(const std::string& name)>& ours,
                 const std::vector<OptionsSectionText>& sections);

} // namespace torv
