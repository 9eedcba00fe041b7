#include "launcher/Splash_ui.h"

#include "common/ui/BrandedImage_ui.h"

#include <wx/splash.h>

wxSplashScreen* ShowBrandedSplash(wxWindow* owner) {
    wxBitmap picture;
    if (!LoadBrandedBitmap(picture, kSplashBitmapName, kBrandedBitmapType)) {
        return nullptr;
    }
    // wx deletes the splash itself when its time is up (or with its owner).
    return new wxSplashScreen(picture, wxSPLASH_CENTRE_ON_SCREEN | wxSPLASH_TIMEOUT,
                              kSplashMilliseconds, owner, wxID_ANY, wxDefaultPosition,
                              wxDefaultSize, wxSIMPLE_BORDER | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR);
}
