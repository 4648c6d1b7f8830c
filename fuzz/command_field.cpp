// The command file's first field on any bytes, up to and past the read limit:
// only 62 or 75 may fail it, an unquoted field holds no separator, and a field
// accepted from a cut file is the field the whole file holds.
//
// The first byte sets the read limit (1 to 64 bytes), so that small inputs
// cross it; the unit tests hold the real 64 KiB limit to the same rule.
#include "base/Failure.h"
#include "remote/CommandFile.h"
#include "settings/FieldReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace torv;
    if (size == 0)
        return 0;
    const std::size_t limit = 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string field;
    try {
        field = firstCommandField(bytes.substr(0, limit + 1), limit);
    } catch (const Failure& f) {
        if (f.code != 62 && f.code != 75)
            std::abort();
        // Only a cut file may be refused with 75.
        if (f.code == 75 && bytes.size() <= limit)
            std::abort();
        return 0;
    }
    const std::string whole = commandText(bytes);
    const std::string_view text = FieldReader::withoutUtf8Bom(whole);
    const std::size_t start = text.find_first_not_of(" \t");
    const bool quoted = start != std::string_view::npos && text[start] == '"';
    if (!quoted) {
        if (field.find_first_of(",\r\n") != std::string::npos)
            std::abort();
        if (!field.empty() &&
            (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' || field.back() == '\t'))
            std::abort();
    }
    if (FieldReader(whole).next() != field)
        std::abort();
    return 0;
}
