#pragma once
// Result.txt.sig: beside each result file while a usable key is set, so the
// remote party can tell that the answer is the console's and which of its
// commands it answers.
#include "remote/RemoteKey.h"

#include <string>

namespace torv {

std::string resultSignaturePath(const std::string& exchangeDir);

// The answer's signature line and CR LF over the bytes just written as the
// result file: commandStamp is the stamp of the signed command it answers, 0
// when it answers none; answerStamp the time of writing. Written like the
// result file (whole or not at all); throws its Failure. Without a usable key
// nothing is written.
void writeResultSignature(const std::string& exchangeDir, const RemoteKey& key, const std::string& resultBytes,
                          long long commandStamp, long long answerStamp);

} // namespace torv
