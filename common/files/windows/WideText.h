// Text at the Windows calls: the core keeps UTF-8, the system's wide calls take UTF-16.
#pragma once

#include <string>
#include <string_view>

// Invalid UTF-8 becomes U+FFFD, invalid UTF-16 (a lone surrogate) too, as the system converts.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The text of a system error number (GetLastError, WSAGetLastError) in UTF-8, for diagnostics.
std::string SystemErrorText(unsigned long error);
