#include "common/relay/CurlTrust.h"

#include <cstdlib>

void ApplyCertificateTrust(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    const char* bundle = std::getenv(kCertificateBundleVariable);
    if (bundle != nullptr && *bundle != '\0') {
        curl_easy_setopt(handle, CURLOPT_CAINFO, bundle);
    }
}
