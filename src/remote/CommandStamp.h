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
    // Writes the last stamp back unchanged (0 when there is no file yet), so
    // that a record that cannot be written shows before a command needs it.
    // Throws the write's Failure; a damaged record is left as it is.
    void rewrite();

private:
    std::string path_;
};

// Why a command is refused; each has its one word in the log.
enum class Refusal {
    None,
    KeyUnusable,        // remote.key is there but cannot be used
    Unsigned,           // no signature line after the command
    BadSignature,       // a signature line that is damaged or does not match
    StampOutsideWindow, // signed too long ago, or too far ahead of this clock
    StampUsed,          // not newer than the last stamp obeyed (or that is unknown)
    StateUnwritable,    // its stamp cannot be recorded, so it could be replayed
};
const char* refusalWord(Refusal refusal);

struct Admission {
    Refusal refusal = Refusal::None;
    long long stamp = 0;    // of an admitted command
    long long offsetMs = 0; // the signed stamp less this clock, once the signature is right
};

// Whether a command may be obeyed. An admitted stamp is recorded before this
// returns; one whose stamp cannot be recorded is refused.
Admission admitSignedCommand(const RemoteKey& key, const std::string& command, const std::string& signatureText,
                             long long nowUtcMs, StampRecord& stamps);

// The log entry's reason for a refusal: its word, and for a stamp outside the
// window how far it is off, in whole seconds rounded away from zero.
std::string refusalReason(const Admission& admission);

} // namespace torv
