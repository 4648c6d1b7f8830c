#include "remote/CommandStamp.h"

#include "platform/AtomicFile.h"
#include "platform/Failure.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "remote/Signature.h"
#include "settings/FieldReader.h"

#include <charconv>

namespace torv {

StampRecord::StampRecord(const std::string& programFolder) : path_(inFolder(programFolder, kStampFileName))
{
}

std::optional<long long> StampRecord::last() const
{
    std::string text;
    try {
        text = readRegularFile(path_, 64, Links::Follow);
    } catch (const Failure& failure) {
        if (failure.code == Failure::fileNotFound().code)
            return 0;
        return std::nullopt;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    long long value = 0;
    auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || err != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

void StampRecord::record(long long stamp)
{
    writeFileAtomically(path_, std::to_string(stamp) + "\n");
}

std::optional<long long> admitSignedCommand(const RemoteKey& key, const std::string& command,
                                            const std::string& signatureText, long long nowUtcMs, StampRecord& stamps)
{
    if (key.state != KeyState::Usable)
        return std::nullopt;
    const auto line = parseSignatureLine(signatureText);
    if (!line || !signatureMatches(key.bytes, *line, command))
        return std::nullopt;
    // Within the window both ways: a command left in the folder while the
    // machine was off must not act at every start, nor one stamped ahead.
    if (line->stamp < nowUtcMs - kStampToleranceMs || line->stamp > nowUtcMs + kStampToleranceMs)
        return std::nullopt;
    const auto last = stamps.last();
    if (!last || line->stamp <= *last)
        return std::nullopt;
    stamps.record(line->stamp);
    return line->stamp;
}

} // namespace torv
