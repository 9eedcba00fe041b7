// The certificates a libcurl handle trusts: the system's, unless the environment names a bundle
// of its own (the tests and the simulated server, whose web folder has a certificate from a test
// authority). Verification itself is never turned off.
#pragma once

#include <curl/curl.h>

inline constexpr const char* kCertificateBundleVariable = "VELMORA_CA_BUNDLE";

void ApplyCertificateTrust(CURL* handle);
