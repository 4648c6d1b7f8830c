#include "remote/RemoteKey.h"

#include "ports/Crypto.h"
#include "ports/Paths.h"
#include "ports/SecretFile.h"
#include "remote/Signature.h"

namespace torv {

std::string remoteKeyPath(const std::string& programFolder)
{
    return inFolder(programFolder, kRemoteKeyName);
}

std::optional<std::string> parseKeyText(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.size() < 32 || text.size() > 128)
        return std::nullopt;
    return fromHex(text);
}

RemoteKey loadKeyFile(const std::string& path)
{
    const SecretFileRead file = readSecretFile(path, 1024);
    switch (file.state) {
    case SecretFileState::Absent:
        return {KeyState::None, {}, {}};
    case SecretFileState::OpenToOthers:
        return {KeyState::OpenToOthers, {}, {}};
    case SecretFileState::Unreadable:
        return {KeyState::Unusable, {}, {}};
    case SecretFileState::Private:
        break;
    }
    auto key = parseKeyText(file.text);
    if (!key)
        return {KeyState::Unusable, {}, {}};
    // A key that cannot be used must refuse every command, never admit one.
    std::string why;
    if (!crypto::available(why))
        return {KeyState::Unusable, {}, why.empty() ? "unavailable" : why};
    return {KeyState::Usable, std::move(*key), {}};
}

RemoteKey loadRemoteKey(const std::string& programFolder)
{
    return loadKeyFile(remoteKeyPath(programFolder));
}

} // namespace torv
