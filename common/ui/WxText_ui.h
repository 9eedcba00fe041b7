// The one conversion from the programs' texts to what a window shows.
#pragma once

#include <wx/string.h>

#include <string_view>

// UTF-8 text for a window. Bytes that are not UTF-8 (names from the network, a settings.ini saved
// in Latin-1) are shown as Latin-1 rather than dropped.
wxString ToWxText(std::string_view text);
