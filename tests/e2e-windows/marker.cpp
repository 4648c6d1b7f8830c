// A tiny task for the Windows tests: appends one line to a file,
//   <label> <milliseconds since the epoch> show=<wShowWindow it was started with> acp=<the ANSI code page>
// so a test can check which tasks ran, in which order, when and how. Started
// as an alert command, the line ends with " event=<TORV_EVENT> message=<TORV_MESSAGE>";
// started by the IP watcher, with " ip=<TORV_OLD_IP>-><TORV_IP>".
//   marker FILE LABEL listen PORT
// then opens 127.0.0.1:PORT 3 s after its line and keeps it open for 8 s: a
// server that is slow to come up.
//   marker FILE LABEL crash | hold
// then ends with an access violation's status, or runs until it is ended.
#include <windows.h>
#include <winsock2.h>

#include <chrono>
#include <cstdio>
#include <cwctype>
#include <string>

static int listenLate(unsigned short port)
{
    Sleep(3000);
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 3;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 8) != 0)
        return 4;
    Sleep(8000);
    closesocket(s);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    // Copied as shutdown.exe into a program folder it stands in for the
    // system's shutdown: it only notes its command line in shutdown.log there.
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe(self, n);
    const auto cut = exe.find_last_of(L'\\');
    std::wstring name = exe.substr(cut + 1);
    for (auto& c : name)
        c = static_cast<wchar_t>(towlower(c));
    if (name == L"shutdown.exe") {
        FILE* f = _wfopen((exe.substr(0, cut + 1) + L"shutdown.log").c_str(), L"ab");
        if (!f)
            return 1;
        char utf8[2048];
        const int len = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, utf8, sizeof utf8, nullptr, nullptr);
        if (len > 0)
            std::fprintf(f, "%s\r\n", utf8);
        std::fclose(f);
        return 0;
    }
    if (argc < 2)
        return 2;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    const int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    wchar_t event[128] = L"";
    wchar_t message[256] = L"";
    std::wstring alert;
    if (GetEnvironmentVariableW(L"TORV_EVENT", event, 128) > 0) {
        GetEnvironmentVariableW(L"TORV_MESSAGE", message, 256);
        alert = std::wstring(L" event=") + event + L" message=" + message;
    }
    wchar_t ip[64] = L"";
    wchar_t oldIp[64] = L"";
    if (GetEnvironmentVariableW(L"TORV_IP", ip, 64) > 0) {
        GetEnvironmentVariableW(L"TORV_OLD_IP", oldIp, 64);
        alert += std::wstring(L" ip=") + oldIp + L"->" + ip;
    }
    wchar_t line[1024];
    std::swprintf(line, 1024, L"%ls %lld show=%d acp=%u%ls\r\n", argc > 2 ? argv[2] : L"mark", ms, show, GetACP(),
                  alert.c_str());
    char utf8[3072];
    const int len = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
    FILE* f = _wfopen(argv[1], L"ab");
    if (!f || len <= 0)
        return 1;
    std::fwrite(utf8, 1, static_cast<size_t>(len - 1), f);
    std::fclose(f);
    if (argc > 4 && std::wstring(argv[3]) == L"listen")
        return listenLate(static_cast<unsigned short>(_wtoi(argv[4])));
    // Ends as a crash would, without a debugger's dialog: an access violation's code.
    if (argc > 3 && std::wstring(argv[3]) == L"crash")
        TerminateProcess(GetCurrentProcess(), 0xC0000005u);
    // A server that runs until it is ended.
    if (argc > 3 && std::wstring(argv[3]) == L"hold")
        Sleep(INFINITE);
    return 0;
}
