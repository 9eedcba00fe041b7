#include "common/ui/BrandedImage_ui.h"

#include "common/resources/ResourceManager.h"

#include <wx/image.h>
#include <wx/mstream.h>

#include <cstdio>
#include <vector>

namespace {

bool DecodePng(const std::vector<unsigned char>& bytes, wxImage& image) {
    if (bytes.empty()) {
        return false;
    }
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
        wxImage::AddHandler(new wxPNGHandler);
    }
    // A damaged picture must not pop up wx's own error box.
    wxLogNull quiet;
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    return image.LoadFile(stream, wxBITMAP_TYPE_PNG) && image.IsOk();
}

} // namespace

kvBMPBrandedResourceHandler::kvBMPBrandedResourceHandler() {
    SetName("Windows bitmap resource");
    SetExtension("");
    SetType(kBrandedBitmapType);
}

bool kvBMPBrandedResourceHandler::LoadFile(wxBitmap* bitmap, const wxString& name,
                                           wxBitmapType /*type*/, int /*desiredWidth*/,
                                           int /*desiredHeight*/) {
    // The loaded bundle's picture, so that a rebranded bundle shows its own; without a bundle,
    // the program's. A bundle that lacks the picture is not made up for by the program's.
    const kvResourceManager* resources = GetResourceManager();
    wxImage image;
    if (!bitmap || !resources || !DecodePng(resources->LoadImage(name.utf8_string()), image)) {
        wxLogWarning("Can't load bitmap '%s' from resources! Check .rc file.", name);
        return false;
    }
    *bitmap = wxBitmap(image);
    bitmap->SetMask(new wxMask(*bitmap, kBitmapMaskColour));
    return bitmap->IsOk();
}

kvICOBrandedResourceHandler::kvICOBrandedResourceHandler() {
    SetName("ICO resource");
    SetExtension("ico");
    SetType(kBrandedIconType);
}

bool kvICOBrandedResourceHandler::LoadFile(wxBitmap* bitmap, const wxString& name,
                                           wxBitmapType /*type*/, int desiredWidth,
                                           int desiredHeight) {
    const kvResourceManager* resources = GetResourceManager();
    wxImage image;
    if (!bitmap || !resources ||
        !DecodePng(resources->LoadProgramImage(name.utf8_string()), image)) {
        return false;
    }
    if (desiredWidth > 0 && desiredHeight > 0 &&
        (image.GetWidth() != desiredWidth || image.GetHeight() != desiredHeight)) {
        image.Rescale(desiredWidth, desiredHeight, wxIMAGE_QUALITY_HIGH);
    }
    *bitmap = wxBitmap(image);
    return bitmap->IsOk();
}

void RegisterBrandedImageHandlers() {
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) {
        wxImage::AddHandler(new wxPNGHandler);
    }
    if (!wxBitmap::FindHandler(kBrandedBitmapType)) {
        wxBitmap::AddHandler(new kvBMPBrandedResourceHandler);
    }
    if (!wxBitmap::FindHandler(kBrandedIconType)) {
        wxBitmap::AddHandler(new kvICOBrandedResourceHandler);
    }
}

bool LoadBrandedBitmap(wxBitmap& bitmap, const wxString& name, wxBitmapType type, int width,
                       int height) {
    wxBitmapHandler* handler = wxBitmap::FindHandler(type);
    return handler && handler->LoadFile(&bitmap, name, type, width, height);
}

bool LoadBrandedIcon(wxIcon& icon, const wxString& name, int width, int height) {
    wxBitmap bitmap;
    if (!LoadBrandedBitmap(bitmap, name, kBrandedIconType, width, height)) {
        return false;
    }
    icon.CopyFromBitmap(bitmap);
    return icon.IsOk();
}

wxIconBundle LauncherWindowIcons() {
    wxIconBundle icons;
    for (const char* name : {"IDI_MAINFRAME", "IDI_MAINFRAME_48", "IDI_MAINFRAME_64",
                             "IDI_MAINFRAME_128", "IDI_MAINFRAME_256"}) {
        wxIcon icon;
        if (LoadBrandedIcon(icon, name)) {
            icons.AddIcon(icon);
        }
    }
    return icons;
}

CScopedConsoleLog::CScopedConsoleLog() : m_console(std::make_unique<wxLogStderr>(stdout)) {
    m_previous = wxLog::SetActiveTarget(m_console.get());
}

CScopedConsoleLog::~CScopedConsoleLog() {
    wxLog::FlushActive();
    wxLog::SetActiveTarget(m_previous);
}
