// CAbstractHttpClient on libcurl. The proxy comes from the environment as curl reads it
// (http_proxy, https_proxy, no_proxy); only http and https are spoken.
#pragma once

#include "common/relay/HttpClient.h"

#include <string>

class CCurlHttpClient : public CAbstractHttpClient {
public:
    explicit CCurlHttpClient(HttpLimits limits = {}, std::string userAgent = "doorlet/1.2");
    HttpReply Get(const std::string& address) override;

private:
    HttpLimits m_limits;
    std::string m_userAgent;
};
