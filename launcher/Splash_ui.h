// The splash picture the launcher shows while it looks for servers.
#pragma once

#include <wx/window.h>

class wxSplashScreen;

inline constexpr int kSplashMilliseconds = 2500;
inline constexpr const char* kSplashBitmapName = "IDB_SPLASH";

// Shows "IDB_SPLASH" centred on the screen above other windows, with a thin border, owned by
// `owner`; it closes itself after kSplashMilliseconds and nobody waits for it. Returns null,
// after a logged warning, when there is no picture.
wxSplashScreen* ShowBrandedSplash(wxWindow* owner);
