#include "remote/CommandFile.h"

#include "platform/Failure.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "settings/FieldReader.h"

namespace torv {

std::string commandFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "command.txt");
}

std::string readCommandField(const std::string& path)
{
    // One byte more than the limit tells a longer file from one that fits.
    std::string text = readRegularFile(path, kCommandReadLimit + 1);
    const bool cut = text.size() > kCommandReadLimit;
    if (cut)
        text.resize(kCommandReadLimit);
    FieldReader reader(text);
    std::string field = reader.next();
    // A field that runs into the cut would be launched truncated.
    if (cut && reader.atEnd())
        throw Failure::pathFileAccess();
    return field;
}

void deleteCommandFile(const std::string& path)
{
    removeFile(path);
}

} // namespace torv
