#include "remote/UndeletedCommand.h"

#include "base/Failure.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"
#include "ports/Paths.h"

namespace torv {

UndeletedCommand::UndeletedCommand(const std::string& programFolder)
    : path_(inFolder(programFolder, kUndeletedFileName))
{
}

void UndeletedCommand::load()
{
    if (loaded_)
        return;
    loaded_ = true;
    try {
        std::string text = readRegularFile(path_, 256, Links::Follow);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (!text.empty())
            fingerprint_ = text;
    } catch (const Failure&) {
        // Missing or unreadable: nothing is remembered.
    }
}

bool UndeletedCommand::is(const std::string& fingerprint)
{
    load();
    return fingerprint_ == fingerprint;
}

void UndeletedCommand::remember(const std::string& fingerprint)
{
    loaded_ = true;
    fingerprint_ = fingerprint;
    writeFileAtomically(path_, fingerprint + "\n");
}

void UndeletedCommand::forget() noexcept
{
    load();
    if (!fingerprint_)
        return;
    fingerprint_.reset();
    try {
        removeFile(path_);
    } catch (const Failure&) {
        // Already gone, or the folder is read-only: a stale line only ever
        // matches that very file again.
    }
}

} // namespace torv
