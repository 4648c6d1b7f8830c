#include "remote/ResultSignature.h"

#include "ports/AtomicFile.h"
#include "ports/Paths.h"
#include "remote/Signature.h"

namespace torv {

std::string resultSignaturePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "Result.txt.sig");
}

void writeResultSignature(const std::string& exchangeDir, const RemoteKey& key, const std::string& resultBytes,
                          long long commandStamp, long long answerStamp)
{
    if (key.state != KeyState::Usable)
        return;
    const std::string path = resultSignaturePath(exchangeDir);
    // As for the result file: a killed write's leftovers go once a minute old.
    removeStaleTemporaries(path, std::chrono::seconds(60));
    writeFileAtomically(path, answerSignatureLine(key.bytes, commandStamp, answerStamp, resultBytes) + "\r\n");
}

} // namespace torv
