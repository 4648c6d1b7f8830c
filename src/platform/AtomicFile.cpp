// What the atomic writers share on every platform; the writing itself is in
// the platform folders.
#include "platform/AtomicFile.h"

namespace torv {

AtomicFileWriter::AtomicFileWriter(std::string target, WriteRules rules)
    : target_(std::move(target)), rules_(std::move(rules))
{
}

AtomicFileWriter::~AtomicFileWriter()
{
    close();
}

void writeFileAtomically(const std::string& target, const std::string& text, const WriteRules& rules)
{
    AtomicFileWriter w(target, rules);
    w.create();
    w.write(text);
}

} // namespace torv
