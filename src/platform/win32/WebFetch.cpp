// GET through WinHTTP.
#include "platform/WebFetch.h"

#include "platform/win32/Wide.h"

#include <windows.h>

#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace torv {

namespace {

struct Internet {
    HINTERNET h = nullptr;
    ~Internet()
    {
        if (h)
            WinHttpCloseHandle(h);
    }
};

// WinHTTP's own errors have no text in the system's message table (and none
// under wine); the common ones get a sentence here.
std::string webError(DWORD error)
{
    static const std::pair<DWORD, const char*> known[] = {
        {ERROR_WINHTTP_TIMEOUT, "no answer within the time limit"},
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, "the server's name could not be resolved"},
        {ERROR_WINHTTP_CANNOT_CONNECT, "the connection was refused"},
        {ERROR_WINHTTP_CONNECTION_ERROR, "the connection was reset"},
        {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, "the server's answer was not HTTP"},
        {ERROR_WINHTTP_SECURE_FAILURE, "the server's certificate is not trusted"},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR,
         "the secure connection failed (certificate not trusted or no common protocol)"},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, "the server's certificate is for another name"},
        {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, "the server's certificate has expired or is not yet valid"},
        {ERROR_WINHTTP_SECURE_INVALID_CA, "the server's certificate is not trusted"},
    };
    for (const auto& [code, text] : known)
        if (code == error)
            return std::string(text) + " (WinHTTP error " + std::to_string(error) + ")";
    return systemMessage(error);
}

// The certificates of a PEM file, in a memory store.
HCERTSTORE loadCaFile(const std::string& path)
{
    std::ifstream in(std::filesystem::path(widen(path)), std::ios::binary);
    if (!in)
        return nullptr;
    std::stringstream text;
    text << in.rdbuf();
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    const std::wstring pem = widen(text.str());
    const std::wstring begin = L"-----BEGIN CERTIFICATE-----";
    for (size_t at = pem.find(begin); at != std::wstring::npos; at = pem.find(begin, at + 1)) {
        const size_t end = pem.find(L"-----END CERTIFICATE-----", at);
        if (end == std::wstring::npos)
            break;
        const std::wstring block = pem.substr(at, end + 25 - at);
        DWORD size = 0;
        if (!CryptStringToBinaryW(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                  &size, nullptr, nullptr))
            continue;
        std::string der(size, '\0');
        CryptStringToBinaryW(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                             reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr);
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), size,
                                         CERT_STORE_ADD_ALWAYS, nullptr);
    }
    return store;
}

// Whether the server's certificate was issued by one of the file's CAs. WinHTTP
// has checked its name and dates already; only the unknown root was let pass.
bool issuedByCaFile(HINTERNET request, const std::string& caFile)
{
    PCCERT_CONTEXT server = nullptr;
    DWORD size = sizeof server;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) || !server)
        return false;
    HCERTSTORE cas = loadCaFile(caFile);
    bool issued = false;
    for (PCCERT_CONTEXT ca = nullptr; cas && !issued && (ca = CertEnumCertificatesInStore(cas, ca));)
        issued = CryptVerifyCertificateSignatureEx(
            0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT, const_cast<CERT_CONTEXT*>(server),
            CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(ca), 0, nullptr);
    if (cas)
        CertCloseStore(cas, 0);
    CertFreeCertificateContext(server);
    return issued;
}

} // namespace

WebAnswer fetchWeb(const std::string& urlText, const std::string& caFile, int timeoutMs, std::size_t maxBody)
{
    WebAnswer answer;
    auto fail = [&](std::string why) {
        answer.error = std::move(why);
        return answer;
    };
    const std::wstring url = widen(urlText);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = L"", path[2048] = L"", user[256] = L"", password[256] = L"";
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.lpszUserName = user;
    parts.dwUserNameLength = 256;
    parts.lpszPassword = password;
    parts.dwPasswordLength = 256;
    wchar_t extra[2048] = L"";
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 2048;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts))
        return fail("not a web address");
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const int ms = timeoutMs;
    Internet session{
        WinHttpOpen(L"TORV", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)};
    if (!session.h)
        return fail(systemMessage(GetLastError()));
    WinHttpSetTimeouts(session.h, ms, ms, ms, ms);
    Internet connection{WinHttpConnect(session.h, host, parts.nPort, 0)};
    const std::wstring object = std::wstring(path) + extra;
    Internet request{connection.h
                         ? WinHttpOpenRequest(connection.h, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0)
                         : nullptr};
    if (!request.h)
        return fail(systemMessage(GetLastError()));
    // A redirect is an answer of its own; it is not followed.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.h, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    if (secure && !caFile.empty()) {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
        WinHttpSetOption(request.h, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
    if (user[0])
        WinHttpSetCredentials(request.h, WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC, user, password,
                              nullptr);
    if (!WinHttpSendRequest(request.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.h, nullptr))
        return fail(webError(GetLastError()));
    if (secure && !caFile.empty() && !issuedByCaFile(request.h, caFile))
        return fail("the server's certificate was not issued by " + caFile);
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    answer.answered = true;
    answer.status = static_cast<long>(status);
    // The body up to the limit; the rest is never read.
    while (answer.body.size() < maxBody) {
        char buffer[4096];
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBody - answer.body.size()));
        if (!WinHttpReadData(request.h, buffer, want, &got) || got == 0)
            break;
        answer.body.append(buffer, got);
    }
    return answer;
}

} // namespace torv
