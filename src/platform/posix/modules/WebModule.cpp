// The web module (torv-web.so): GET through libcurl, which brings a long train
// of libraries (TLS, HTTP/2, Kerberos, LDAP ...). Loaded by fetchWeb on first
// use, so a console without web checks or the address watcher never maps them.
#include "platform/WebFetch.h"

#include <algorithm>
#include <curl/curl.h>
#include <mutex>

namespace torv {

namespace {

struct Body {
    std::string text;
    std::size_t max;
    bool full = false; // the transfer was ended here: the rest is never read
};

size_t keepBody(char* data, size_t size, size_t count, void* user)
{
    auto& body = *static_cast<Body*>(user);
    const size_t n = size * count;
    const size_t room = body.max - std::min(body.max, body.text.size());
    body.text.append(data, std::min(n, room));
    if (n <= room)
        return n;
    // Anything short of n ends the transfer: an endless or huge answer is
    // not read on until the time limit.
    body.full = true;
    return 0;
}

WebAnswer fetch(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    WebAnswer answer;
    CURL* curl = curl_easy_init();
    if (!curl) {
        answer.error = "the web client could not start";
        return answer;
    }
    Body body{{}, maxBody};
    char error[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    if (!caFile.empty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && body.full)) {
        answer.error = error[0] ? error : curl_easy_strerror(rc);
        return answer;
    }
    answer.answered = true;
    answer.body = std::move(body.text);
    return answer;
}

} // namespace

} // namespace torv

extern "C" void torv_fetch_web(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody,
                               torv::WebAnswer& answer)
{
    answer = torv::fetch(url, caFile, timeoutMs, maxBody);
}
