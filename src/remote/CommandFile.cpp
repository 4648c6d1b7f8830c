#include "remote/CommandFile.h"

#include "base/Failure.h"
#include "base/Sha256.h"
#include "ports/Files.h"
#include "ports/Paths.h"
#include "remote/Signature.h"
#include "settings/FieldReader.h"

#include <algorithm>
#include <new>
#include <string_view>

namespace torv {

namespace {

// A hash of the content. It guards nothing, so the built-in hash serves and no
// crypto library is loaded for it; keyed under a fixed key as it always was,
// so a fingerprint remembered by an earlier version still matches.
std::string contentHash(std::string_view bytes)
{
    const sha256::Digest digest = sha256::keyed("command.txt", bytes);
    return toHex(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

std::string commandFingerprint(const FileIdentity& identity, std::string_view bytes)
{
    return std::to_string(identity.volume) + " " + std::to_string(identity.index) + " " +
           std::to_string(identity.size) + " " + std::to_string(identity.modified) + " " + contentHash(bytes);
}

} // namespace

std::string commandFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "command.txt");
}

std::string commandText(std::string_view bytes)
{
    return decodeFileText(bytes);
}

std::string firstCommandField(std::string_view bytes, std::size_t limit)
{
    const bool cut = bytes.size() > limit;
    // The first byte past the limit, when there is one.
    const char next = cut ? bytes[limit] : '\0';
    if (cut)
        bytes = bytes.substr(0, limit);
    const std::string text = commandText(bytes);
    FieldReader reader(text);
    std::string field = reader.next();
    if (!cut)
        return field;
    // A field that runs into the cut would be launched truncated; one closed by
    // its comma, line end or closing quote inside the limit is whole. A quote
    // that is the last byte before the cut closes the field only if the byte
    // after it is no quote (a doubled quote stands for one inside the field);
    // in UTF-16 that byte is half a character, so such a field is refused.
    const std::string_view head = FieldReader::withoutUtf8Bom(text);
    const std::size_t start = head.find_first_not_of(" \t");
    const bool quoted = start != std::string_view::npos && head[start] == '"';
    const bool closedAtTheCut = quoted && reader.atEnd() && text.back() == '"';
    const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (!reader.lastValueClosed() || (closedAtTheCut && (utf16 || next == '"')))
        throw Failure::pathFileAccess();
    return field;
}

std::string readCommandField(const std::string& path)
{
    return readCommand(path).field;
}

CommandText readCommand(const std::string& path)
{
    std::string bytes;
    FileIdentity identity;
    try {
        // One byte more than the limit tells a longer file from one that fits.
        bytes = readRegularFile(path, kCommandReadLimit + 1, Links::Refuse, identity);
    } catch (const std::bad_alloc&) {
        throw Failure::outOfMemory();
    }
    CommandText command{firstCommandField(bytes), {}, {}};
    // The line after the field: a signed command's signature. The field ended
    // at a line end, or at a comma with the rest of its line to skip.
    const std::string text = commandText(std::string_view(bytes).substr(0, kCommandReadLimit));
    const std::string_view body = FieldReader::withoutUtf8Bom(text);
    FieldReader reader(text);
    reader.next();
    size_t pos = reader.position();
    if (pos > 0 && body[pos - 1] == ',') {
        pos = body.find_first_of("\r\n", pos);
        pos = pos == std::string_view::npos ? body.size() : pos + (body.compare(pos, 2, "\r\n") == 0 ? 2 : 1);
    }
    const size_t end = std::min(body.find_first_of("\r\n", pos), body.size());
    command.nextLine = std::string(body.substr(pos, end - pos));
    command.fingerprint = commandFingerprint(identity, bytes);
    return command;
}

void deleteCommandFile(const std::string& path)
{
    removeFile(path);
}

} // namespace torv
