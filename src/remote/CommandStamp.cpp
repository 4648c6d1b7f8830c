#include "remote/CommandStamp.h"

#include "base/Failure.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"
#include "ports/Paths.h"
#include "remote/Signature.h"
#include "settings/FieldReader.h"

#include <charconv>
#include <string_view>

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

void StampRecord::rewrite()
{
    if (const auto stamp = last())
        record(*stamp);
}

const char* refusalWord(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return "";
    case Refusal::KeyUnusable:
        return "key-unusable";
    case Refusal::Unsigned:
        return "unsigned";
    case Refusal::BadSignature:
        return "bad-signature";
    case Refusal::StampOutsideWindow:
        return "stamp-outside-window";
    case Refusal::StampUsed:
        return "stamp-used";
    case Refusal::StateUnwritable:
        return "state-unwritable";
    }
    return "";
}

Admission admitSignedCommand(const RemoteKey& key, const std::string& command, const std::string& signatureText,
                             long long nowUtcMs, StampRecord& stamps)
{
    if (key.state != KeyState::Usable)
        return {Refusal::KeyUnusable};
    // A line that does not even begin with the scheme is no signature at all.
    if (!std::string_view(signatureText).starts_with(kSignatureScheme))
        return {Refusal::Unsigned};
    const auto line = parseSignatureLine(signatureText);
    if (!line || !signatureMatches(key.bytes, *line, command))
        return {Refusal::BadSignature};
    // Within the window both ways: a command left in the folder while the
    // machine was off must not act at every start, nor one stamped ahead.
    const long long offset = line->stamp - nowUtcMs;
    if (offset < -kStampToleranceMs || offset > kStampToleranceMs)
        return {Refusal::StampOutsideWindow, 0, offset};
    const auto last = stamps.last();
    if (!last || line->stamp <= *last)
        return {Refusal::StampUsed, 0, offset};
    try {
        stamps.record(line->stamp);
    } catch (const Failure&) {
        // Obeyed unrecorded, the same file could be replayed at once.
        return {Refusal::StateUnwritable, 0, offset};
    }
    return {Refusal::None, line->stamp, offset};
}

std::string refusalReason(const Admission& admission)
{
    std::string reason = refusalWord(admission.refusal);
    if (admission.refusal != Refusal::StampOutsideWindow)
        return reason;
    const long long ms = admission.offsetMs < 0 ? -admission.offsetMs : admission.offsetMs;
    const std::string seconds = std::to_string((ms + 999) / 1000);
    return reason + ", " + seconds + (admission.offsetMs < 0 ? " s behind this clock" : " s ahead of this clock");
}

} // namespace torv
