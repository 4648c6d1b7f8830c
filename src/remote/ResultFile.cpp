#include "remote/ResultFile.h"

#include "platform/Paths.h"

namespace torv {

std::string resultFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "Result.txt");
}

ResultFile::ResultFile(const std::string& exchangeDir) : writer_(resultFilePath(exchangeDir))
{
}

void ResultFile::create()
{
    writer_.create();
}

void ResultFile::write(const std::string& log)
{
    std::string text;
    text.reserve(log.size() + 2);
    text.append(log).append("\r\n");
    writer_.write(text);
}

void ResultFile::close() noexcept
{
    writer_.close();
}

void writeResultFile(const std::string& exchangeDir, const std::string& log)
{
    ResultFile file(exchangeDir);
    file.create();
    file.write(log);
    file.close();
}

} // namespace torv
