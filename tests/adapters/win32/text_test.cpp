// Text outside ASCII on Windows: the ANSI code page of the tests, files read
// and written the way Windows programs and PowerShell write and read them, and
// files in a folder whose name the code page cannot hold.
#include "platform/win32/Program.h"
#include "ports/Files.h"
#include "ports/SecretFile.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <windows.h>

namespace torv {
namespace {

namespace fs = std::filesystem;

const std::string kZurich = "Z\xC3\xBCrich \xC5\x81\xC3\xB3\x64\xC5\xBA \xE2\x82\xAC"; // "Zürich Łódź €"
const std::wstring kZurichWide = L"Z\u00FCrich \u0141\u00F3d\u017A \u20AC";

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// The faults of a UTF-8 text run through the ANSI code page only show in a
// single-byte one: a run under UTF-8 (65001) would hide them all.
TEST(Win32Text, TheTestsRunUnderASingleByteAnsiCodePage)
{
    EXPECT_NE(GetACP(), 65001u);
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(info.MaxCharSize, 1u);
}

TEST(Win32Text, ResultFileInTheAnsiCodePageWhenItFitsElseUtf8WithAMark)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the system's code page is not 1252";
    struct Case {
        std::string log, bytes;
    } cases[] = {
        {"Seuquence Init\r\n", "Seuquence Init\r\n\r\n"},
        {"Datenbank f\xC3\xBCr Z\xC3\xBCrich \xE2\x82\xAC\r\n", "Datenbank f\xFCr Z\xFCrich \x80\r\n\r\n"},
        {kZurich + "\r\n", "\xEF\xBB\xBF" + kZurich + "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resultFileText(c.log), c.bytes);
        // Read back as every text file is, the log comes out unchanged.
        EXPECT_EQ(decodeFileText(c.bytes), c.log + "\r\n");
    }
    sim::TempDir dir;
    writeResultFile(dir.path(), cases[1].log);
    EXPECT_EQ(dir.read("Result.txt"), cases[1].bytes);
}

std::string utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(Win32Text, TextFilesInAnyEncodingWindowsWritesAreReadAsUtf8)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the system's code page is not 1252";
    // "für €", then a second line, in each encoding a Windows program may write.
    const std::string utf8 = "f\xC3\xBCr \xE2\x82\xAC\r\nnext line\r\n";
    const std::u16string wide = u"f\u00FCr \u20AC\r\nnext line\r\n";
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"ANSI", "f\xFCr \x80\r\nnext line\r\n"},
        {"UTF-8", utf8},
        {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 LE", utf16(wide, false)},
        {"UTF-16 BE", utf16(wide, true)},
    };
    sim::TempDir dir;
    const fs::path folder = fs::path(dir.path()) / kZurichWide;
    fs::create_directory(folder);
    const std::string command = commandFilePath(dir.path() + "\\" + kZurich);
    for (const Case& c : cases) {
        EXPECT_EQ(decodeFileText(c.bytes), utf8) << c.what;
        writeBytes(folder / L"command.txt", c.bytes);
        const CommandText read = readCommand(command);
        EXPECT_EQ(read.field, "f\xC3\xBCr \xE2\x82\xAC") << c.what;
        EXPECT_EQ(read.nextLine, "next line") << c.what;
    }
}

// The key in a program folder named outside the code page: written, then read.
TEST(Win32Text, SecretFileInAFolderTheCodePageCannotName)
{
    sim::TempDir dir;
    fs::create_directory(fs::path(dir.path()) / kZurichWide);
    const std::string key = dir.path() + "\\" + kZurich + "\\remote.key";
    createSecretFile(key, "0123abcd\r\n");
    const SecretFileRead read = readSecretFile(key, 100);
    EXPECT_EQ(read.state, SecretFileState::Private);
    EXPECT_EQ(read.text, "0123abcd\r\n");
    EXPECT_TRUE(fs::exists(fs::path(dir.path()) / kZurichWide / L"remote.key"));
}

TEST(Win32Text, ThePickerOffersBatchFilesAndExecutables)
{
    const ProgramFileFilters f = Win32Program("C:\\TORV").programFileFilters();
    EXPECT_EQ(f.filters, (std::vector<std::string>{"Batch Files(*.bat)", "Executable Files (*.exe)"}));
    EXPECT_EQ(f.selected, 1u);
}

} // namespace
} // namespace torv
