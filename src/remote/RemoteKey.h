#pragma once
// The shared key of signed remote commands: remote.key in the program folder
// (never the exchange folder, which the remote side can write). Without the
// file, commands are obeyed unsigned as they always were.
#include <optional>
#include <string>
#include <string_view>

namespace torv {

inline constexpr const char* kRemoteKeyName = "remote.key";
inline constexpr std::size_t kNewKeyBytes = 32;

enum class KeyState {
    None,         // no key file: commands need no signature
    Usable,       // commands must be signed with the key
    OpenToOthers, // others may read or change the file: every command is refused
    Unusable,     // unreadable, not one line of hex, or no crypto to use it: every command is refused
};

struct RemoteKey {
    KeyState state = KeyState::None;
    std::string bytes;          // only when Usable
    std::string cryptoMissing;  // Unusable since the platform's crypto cannot be used: why
};

std::string remoteKeyPath(const std::string& programFolder);

// The key in a key file's text: one line of 32 to 128 hex digits (16 to 64
// bytes), blanks and a line end around it allowed. Nothing otherwise.
std::optional<std::string> parseKeyText(std::string_view text);

// The key file as it is now; never throws.
RemoteKey loadRemoteKey(const std::string& programFolder);
RemoteKey loadKeyFile(const std::string& path);

} // namespace torv
