#include "platform/win32/ServiceLog.h"

#include "platform/win32/Wide.h"

#include <cstdio>
#include <windows.h>

namespace torv {

namespace {

const std::wstring kSourcesKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

std::string stamp()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

bool writeAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

ServiceLog::ServiceLog(const std::string& folder, const std::string& source)
    : path_(widen(folder + "\\torv-service.log")), oldPath_(widen(folder + "\\torv-service.old.log"))
{
    events_ = RegisterEventSourceW(nullptr, widen(source).c_str());
    open();
}

ServiceLog::~ServiceLog()
{
    if (file_)
        CloseHandle(file_);
    if (events_)
        DeregisterEventSource(events_);
}

bool ServiceLog::open()
{
    // Others may read it, and rename or delete it, while the service writes.
    HANDLE file = CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    file_ = file;
    size_ = size.QuadPart;
    if (size_ == 0 && writeAll(file, "\xEF\xBB\xBF"))
        size_ = 3;
    return true;
}

void ServiceLog::write(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string text = stamp() + line + "\r\n";
    if (file_ && size_ > 3 && size_ + static_cast<long long>(text.size()) > kRotateBytes) {
        CloseHandle(file_);
        file_ = nullptr;
        MoveFileExW(path_.c_str(), oldPath_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    // A log that could not be opened is tried again at each line.
    if ((file_ || open()) && writeAll(file_, text))
        size_ += static_cast<long long>(text.size());
    const bool error = line.rfind("ERROR:", 0) == 0;
    if (events_ && (error || line.rfind("WARNING:", 0) == 0)) {
        const std::wstring wide = widen(line);
        const wchar_t* strings[] = {wide.c_str()};
        ReportEventW(events_, error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE, 0, kServiceLineMessage, nullptr, 1,
                     0, strings, nullptr);
    }
}

bool registerEventSource(const std::string& source, const std::wstring& program, std::string& why)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kSourcesKey + widen(source)).c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        status =
            RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                           static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
        if (status == ERROR_SUCCESS)
            status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                                    sizeof types);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS)
        why = systemMessage(static_cast<unsigned long>(status));
    return status == ERROR_SUCCESS;
}

void removeEventSource(const std::string& source)
{
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kSourcesKey + widen(source)).c_str());
}

} // namespace torv
