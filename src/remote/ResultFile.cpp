#include "remote/ResultFile.h"

#include "ports/Files.h"
#include "ports/Paths.h"

namespace torv {

std::string resultFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "Result.txt");
}

std::string resultFileText(const std::string& log)
{
    std::string text;
    text.reserve(log.size() + 2);
    text.append(log).append("\r\n");
    // Read on the Windows side in the system's code page.
    return encodeFileText(text, TextEncoding::SystemCodePage);
}

ResultFile::ResultFile(const std::string& exchangeDir) : exchangeDir_(exchangeDir), writer_(resultFilePath(exchangeDir))
{
}

void ResultFile::create()
{
    // A write killed part-way leaves its temporary file; clear those first. A
    // minute's grace spares one that another console sharing the folder is
    // writing right now.
    removeStaleTemporaries(resultFilePath(exchangeDir_), std::chrono::seconds(60));
    writer_.create();
}

std::string ResultFile::write(const std::string& log)
{
    std::string bytes = resultFileText(log);
    writer_.write(bytes);
    return bytes;
}

void ResultFile::close() noexcept
{
    writer_.close();
}

std::string writeResultFile(const std::string& exchangeDir, const std::string& log)
{
    ResultFile file(exchangeDir);
    file.create();
    std::string bytes = file.write(log);
    file.close();
    return bytes;
}

} // namespace torv
