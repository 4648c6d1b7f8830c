#pragma once
// How the atomic writers of every platform name their temporary files, so a
// sweep after a crash finds exactly those and nothing else.
#include <string>

namespace torv {

// ".NAME.tmp-": the leading dot keeps a remote party listing the folder from
// mistaking it for a result.
std::string temporaryPrefix(const std::string& fileName);
// A random ending for one attempt to create a temporary file.
std::string temporarySuffix();
// Whether a folder entry is named as a temporary file of fileName is.
bool isTemporaryOf(const std::string& entry, const std::string& fileName);

} // namespace torv
