#include "remote/CommandFile.h"

#include "platform/Failure.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "settings/FieldReader.h"

#include <algorithm>

namespace torv {

std::string commandFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "command.txt");
}

std::string readCommandField(const std::string& path)
{
    return readCommand(path).field;
}

CommandText readCommand(const std::string& path)
{
    // One byte more than the limit tells a longer file from one that fits.
    std::string text = readRegularFile(path, kCommandReadLimit + 1);
    if (text.size() > kCommandReadLimit) {
        text.resize(kCommandReadLimit);
        // A field that runs into the cut would be launched truncated. One that
        // ended at a delimiter is whole, even when that delimiter was the last
        // byte read: a byte put after the cut stays out of such a field only.
        const std::string probed = text + '\x01'; // the reader only views its text
        FieldReader probe(probed);
        probe.next();
        if (probe.atEnd())
            throw Failure::pathFileAccess();
    }
    FieldReader reader(text);
    CommandText command{reader.next(), {}};
    // The field ended at a line end, or at a comma with the rest of its line to skip.
    size_t pos = reader.position();
    if (pos > 0 && text[pos - 1] == ',') {
        pos = text.find_first_of("\r\n", pos);
        pos = pos == std::string::npos ? text.size() : pos + (text.compare(pos, 2, "\r\n") == 0 ? 2 : 1);
    }
    const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    command.nextLine = text.substr(pos, end - pos);
    return command;
}

void deleteCommandFile(const std::string& path)
{
    removeFile(path);
}

} // namespace torv
