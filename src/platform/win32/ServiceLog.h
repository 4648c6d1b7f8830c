#pragma once
// Where a service's lines go: torv-service.log in the program folder (UTF-8
// with a byte-order mark, CR LF, a time stamp in front; at 1 MB it becomes
// torv-service.old.log), and ERROR: and WARNING: lines to the Event Log as
// well, under an event source of the service's name whose message table
// (messages.mc, in torv.exe) shows each line as it is.
#include <mutex>
#include <string>

namespace torv {

// The one message of the table: "%1".
inline constexpr unsigned long kServiceLineMessage = 1;

class ServiceLog {
public:
    static constexpr long long kRotateBytes = 1024 * 1024;

    ServiceLog(const std::string& folder, const std::string& source);
    ~ServiceLog();
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;

    void write(const std::string& line);

private:
    bool open();

    std::mutex mutex_;
    std::wstring path_, oldPath_;
    void* file_ = nullptr;   // the log's HANDLE, open for appending
    void* events_ = nullptr; // the event source's HANDLE; null where there is none
    long long size_ = 0;
};

// The event source's registry key, naming torv.exe for the message table.
bool registerEventSource(const std::string& source, const std::wstring& program, std::string& why);
void removeEventSource(const std::string& source);

} // namespace torv
