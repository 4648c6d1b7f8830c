// GET through libcurl.
#include "platform/WebFetch.h"

#include <algorithm>
#include <curl/curl.h>
#include <mutex>

namespace torv {

namespace {

struct Body {
    std::string text;
    std::size_t max;
};

size_t keepBody(char* data, size_t size, size_t count, void* user)
{
    auto& body = *static_cast<Body*>(user);
    const size_t n = size * count;
    body.text.append(data, std::min(n, body.max - std::min(body.max, body.text.size())));
    return n;
}

} // namespace

WebAnswer fetchWeb(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody)
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
    if (rc != CURLE_OK) {
        answer.error = error[0] ? error : curl_easy_strerror(rc);
        return answer;
    }
    answer.answered = true;
    answer.body = std::move(body.text);
    return answer;
}

} // namespace torv
