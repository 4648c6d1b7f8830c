#include "remote/KeyTool.h"

#include "base/Failure.h"
#include "ports/Crypto.h"
#include "ports/Files.h"
#include "ports/SecretFile.h"
#include "remote/RemoteKey.h"
#include "remote/ResultFile.h"
#include "remote/ResultSignature.h"
#include "remote/Signature.h"
#include "settings/ConfigFile.h"

#include <charconv>
#include <optional>
#include <ostream>

namespace torv {

int runNewKey(const std::string& programFolder, std::ostream& out, std::ostream& err)
{
    const std::string path = remoteKeyPath(programFolder);
    std::string key(kNewKeyBytes, '\0');
    try {
        std::string why;
        if (!crypto::available(why)) {
            err << "The crypto module is " << why << "; no key can be made.\n";
            return 1;
        }
        crypto::secureRandom(reinterpret_cast<unsigned char*>(key.data()), key.size());
        const std::string hex = toHex(key);
        createSecretFile(path, hex + "\n");
        out << hex << std::endl;
    } catch (const Failure& failure) {
        if (failure.code == 58)
            err << path << " exists already; remove it first to make a new key.\n";
        else
            err << "Could not write " << path << ": " << failure.text() << "\n";
        return 1;
    }
    err << "New key written to " << path << ". Give it to the remote party over a safe way; "
        << "it is not shown again.\n";
    return 0;
}

namespace {

// The key in keyFile, or nothing after saying on err why it cannot be used.
std::optional<std::string> usableKey(const std::string& keyFile, std::ostream& err)
{
    const RemoteKey key = loadKeyFile(keyFile);
    switch (key.state) {
    case KeyState::Usable:
        return key.bytes;
    case KeyState::None:
        err << keyFile << " does not exist.\n";
        break;
    case KeyState::OpenToOthers:
        err << keyFile << " may be read or changed by others; allow its owner alone (chmod 600).\n";
        break;
    case KeyState::Unusable:
        if (!key.cryptoMissing.empty())
            err << "The crypto module is " << key.cryptoMissing << "; no key can be used.\n";
        else
            err << keyFile << " is unreadable or not one line of hex.\n";
        break;
    }
    return std::nullopt;
}

// A result file larger than this is not checked (the log grows without end,
// but not this far in any real use).
constexpr std::size_t kVerifyReadLimit = 256u * 1024 * 1024;

} // namespace

int runSign(const std::string& command, const std::string& keyFile, long long nowUtcMs, std::ostream& out,
            std::ostream& err)
{
    if (command.empty()) {
        err << "An empty command is never carried out.\n";
        return 2;
    }
    const auto key = usableKey(keyFile, err);
    if (!key)
        return 1;
    try {
        out << signedCommandText(*key, command, nowUtcMs) << std::flush;
    } catch (const Failure& failure) {
        err << "Could not sign: " << failure.text() << "\n";
        return 1;
    }
    return 0;
}

int runVerifyAnswer(const std::string& folder, const std::string& keyFile, const std::optional<std::string>& expect,
                    std::ostream& out, std::ostream& err)
{
    long long expected = 0;
    if (expect) {
        const auto [end, ec] = std::from_chars(expect->data(), expect->data() + expect->size(), expected);
        if (expect->empty() || ec != std::errc() || end != expect->data() + expect->size() || expected <= 0) {
            err << "--expect takes the command's stamp: digits, as in its signature line.\n";
            return 2;
        }
    }
    const auto key = usableKey(keyFile, err);
    if (!key)
        return 1;
    const std::string resultPath = resultFilePath(folder), signaturePath = resultSignaturePath(folder);
    std::string result, signature;
    const std::string* reading = &signaturePath;
    try {
        signature = readRegularFile(signaturePath, 256, Links::Follow);
        reading = &resultPath;
        result = readRegularFile(resultPath, kVerifyReadLimit + 1, Links::Follow);
    } catch (const Failure& failure) {
        err << "Not verified: cannot read " << *reading << ": " << failure.text() << "\n";
        return 1;
    }
    if (result.size() > kVerifyReadLimit) {
        err << "Not verified: " << resultPath << " is larger than " << kVerifyReadLimit << " bytes.\n";
        return 1;
    }
    if (signature.ends_with("\r\n"))
        signature.resize(signature.size() - 2);
    const auto line = parseAnswerLine(signature);
    if (!line) {
        err << "Not verified: " << signaturePath << " is not one line \"" << kAnswerScheme
            << " <command stamp> <answer stamp> <hex>\" (damaged, or written by an older TORV).\n";
        return 1;
    }
    if (!answerMatches(*key, *line, result)) {
        err << "Not verified: the signature does not match " << resultPath << " under this key.\n";
        return 1;
    }
    // An older answer verifies too: only its command stamp tells it apart.
    if (expect && line->commandStamp != expected) {
        err << "Not verified: the answer answers "
            << (line->commandStamp == 0 ? std::string("no command") : line->commandStampText) << ", not " << *expect
            << ".\n";
        return 1;
    }
    out << "answers " << (line->commandStamp == 0 ? std::string("none") : line->commandStampText) << " written "
        << line->answerStampText << std::endl;
    return 0;
}

std::string signedCommandText(std::string_view key, const std::string& command, long long stamp)
{
    return encodeValue(command) + "\n" + signatureLine(key, stamp, command) + "\n";
}

} // namespace torv
