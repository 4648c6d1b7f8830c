#include "remote/KeyTool.h"

#include "platform/Crypto.h"
#include "platform/Failure.h"
#include "platform/SecretFile.h"
#include "remote/RemoteKey.h"
#include "remote/Signature.h"
#include "settings/ConfigFile.h"

#include <ostream>

namespace torv {

int runNewKey(const std::string& programFolder, std::ostream& out, std::ostream& err)
{
    const std::string path = remoteKeyPath(programFolder);
    std::string key(kNewKeyBytes, '\0');
    try {
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

int runSign(const std::string& command, const std::string& keyFile, long long nowUtcMs, std::ostream& out,
            std::ostream& err)
{
    if (command.empty()) {
        err << "An empty command is never carried out.\n";
        return 2;
    }
    const RemoteKey key = loadKeyFile(keyFile);
    switch (key.state) {
    case KeyState::Usable:
        break;
    case KeyState::None:
        err << keyFile << " does not exist.\n";
        return 1;
    case KeyState::OpenToOthers:
        err << keyFile << " may be read or changed by others; allow its owner alone (chmod 600).\n";
        return 1;
    case KeyState::Unusable:
        err << keyFile << " is unreadable or not one line of hex.\n";
        return 1;
    }
    try {
        out << signedCommandText(key.bytes, command, nowUtcMs) << std::flush;
    } catch (const Failure& failure) {
        err << "Could not sign: " << failure.text() << "\n";
        return 1;
    }
    return 0;
}

std::string signedCommandText(std::string_view key, const std::string& command, long long stamp)
{
    return encodeValue(command) + "\n" + signatureLine(key, stamp, command) + "\n";
}

} // namespace torv
