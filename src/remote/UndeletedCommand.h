#pragma once
// A command file that was carried out but could not be deleted is remembered
// (by its fingerprint, see CommandText) in the program folder, so that neither
// the next poll nor a restart carries it out again. A new file written in its
// place has another fingerprint and is carried out.
#include <optional>
#include <string>

namespace torv {

inline constexpr const char* kUndeletedFileName = "remote.undeleted";

class UndeletedCommand {
public:
    explicit UndeletedCommand(const std::string& programFolder);

    // True when this is the file remembered.
    bool is(const std::string& fingerprint);
    // Remembers the file, in memory at once and then in its file, replaced as
    // a whole; throws the write's Failure (the memory still holds it).
    void remember(const std::string& fingerprint);
    // The command file is gone: nothing to remember any more. Never throws.
    void forget() noexcept;

private:
    void load();

    std::string path_;
    bool loaded_ = false;
    std::optional<std::string> fingerprint_;
};

} // namespace torv
