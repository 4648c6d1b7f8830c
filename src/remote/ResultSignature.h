#pragma once
// Result.txt.sig: beside each result file while a usable key is set, so the
// remote party can tell that the answer is the console's and which of its
// commands it answers.
#include "remote/RemoteKey.h"

#include <string>

namespace torv {

std::string resultSignaturePath(const std::string& exchangeDir);

// One signature line over the whole result file's bytes, signed at stamp:
// the stamp of the signed command answered, 0 for any other answer. Written
// like the result file (whole or not at all); throws its Failure. Without a
// usable key nothing is written.
void writeResultSignature(const std::string& exchangeDir, const RemoteKey& key, const std::string& resultText,
                          long long stamp);

} // namespace torv
