#pragma once
// Which signed commands may be obeyed: the signature must be right, the stamp
// newer than the last one obeyed and within ten minutes of the console's own
// clock either way. The last stamp is kept in the program folder, so neither a
// reload nor a restart of the program lets an old command file be replayed.
#include "remote/RemoteKey.h"

#include <optional>
#include <string>

namespace torv {

inline constexpr const char* kStampFileName = "remote.stamp";
inline constexpr long long kStampToleranceMs = 10LL * 60 * 1000;

// The last obeyed stamp, in its file in the program folder.
class StampRecord {
public:
    explicit StampRecord(const std::string& programFolder);
    // 0 when no signed command was ever obeyed; nothing when the file is
    // there but unreadable or damaged.
    std::optional<long long> last() const;
    // Replaces the file as a whole. Throws the write's Failure.
    void record(long long stamp);

private:
    std::string path_;
};

// The stamp of a command to obey, or nothing when it must be refused. An
// admitted stamp is recorded before this returns; a failed record throws,
// and the command is then neither obeyed nor refused.
std::optional<long long> admitSignedCommand(const RemoteKey& key, const std::string& command,
                                            const std::string& signatureText, long long nowUtcMs, StampRecord& stamps);

} // namespace torv
