#include "common/relay/CurlHttpClient.h"

#include "common/relay/CurlTrust.h"

#include <memory>
#include <mutex>

#include <curl/curl.h>

namespace {

struct BodySink {
    std::string* body = nullptr;
    std::size_t limit = 0;
    bool tooLarge = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* userData) {
    auto* sink = static_cast<BodySink*>(userData);
    const size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->limit) {
        sink->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    sink->body->append(data, bytes);
    return bytes;
}

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

} // namespace

CCurlHttpClient::CCurlHttpClient(HttpLimits limits, std::string userAgent)
    : m_limits(limits), m_userAgent(std::move(userAgent)) {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply CCurlHttpClient::Get(const std::string& address) {
    HttpReply reply;
    std::unique_ptr<CURL, CurlEasyDeleter> handle(curl_easy_init());
    if (!handle) {
        reply.error = "curl_easy_init failed";
        return reply;
    }
    CURL* curl = handle.get();
    BodySink sink{&reply.body, m_limits.maxBodyBytes, false};
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(m_limits.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(m_limits.totalTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, m_userAgent.c_str());
    ApplyCertificateTrust(curl);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode code = curl_easy_perform(curl);
    if (sink.tooLarge) {
        reply.outcome = HttpReply::Outcome::TooLarge;
        reply.body.clear();
        reply.error = "reply longer than " + std::to_string(m_limits.maxBodyBytes) + " bytes";
        return reply;
    }
    if (code != CURLE_OK) {
        reply.outcome = HttpReply::Outcome::NoReply;
        reply.body.clear();
        reply.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
        return reply;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.outcome = HttpReply::Outcome::Received;
    return reply;
}
