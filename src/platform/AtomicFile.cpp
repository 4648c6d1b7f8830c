// The one-go write, the same on every platform; the writer itself is in the
// platform folders, on the shared commit (base/AtomicCommit).
#include "ports/AtomicFile.h"

namespace torv {

void writeFileAtomically(const std::string& target, const std::string& text, const WriteRules& rules)
{
    AtomicFileWriter w(target, rules);
    w.create();
    w.write(text);
}

} // namespace torv
