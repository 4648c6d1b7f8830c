#pragma once
// The key tools of the command line: making the key of signed remote
// commands, signing a command with it, and checking an answer.
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace torv {

// `--new-key`: writes a fresh random key into remote.key in the program folder
// (owner-only rights) and prints it once on out. An existing key is kept.
// Returns the exit code.
int runNewKey(const std::string& programFolder, std::ostream& out, std::ostream& err);

// `--sign COMMAND`: prints a complete signed command file for COMMAND, stamped
// nowUtcMs, signed with the key in keyFile. Returns the exit code.
int runSign(const std::string& command, const std::string& keyFile, long long nowUtcMs, std::ostream& out,
            std::ostream& err);

// `--verify-answer FOLDER [--expect STAMP]`: checks the folder's Result.txt
// against its Result.txt.sig under the key in keyFile and, with expect, that
// it answers the command stamped expect. On success prints one line,
// "answers <command stamp> written <answer stamp>" ("answers none ..." when it
// answers no signed command), and returns 0; otherwise says why on err and
// returns 1 (2 for an expect that is no stamp).
int runVerifyAnswer(const std::string& folder, const std::string& keyFile, const std::optional<std::string>& expect,
                    std::ostream& out, std::ostream& err);

// The signed command file: the command as its first line (quoted as the
// settings file quotes a value that needs it), the signature line second.
std::string signedCommandText(std::string_view key, const std::string& command, long long stamp);

} // namespace torv
