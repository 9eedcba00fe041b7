// The programs' image loaders: pictures and icons named like resources, looked up in the
// resource bundles and registered with wx's bitmap handlers under type ids of their own.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>
#include <wx/log.h>

#include <memory>

// Type ids of the two loaders; wx's own ids stop at 50.
inline constexpr wxBitmapType kBrandedBitmapType = static_cast<wxBitmapType>(52);
inline constexpr wxBitmapType kBrandedIconType = static_cast<wxBitmapType>(54);

// The colour that is transparent in branded bitmaps.
inline const wxColour kBitmapMaskColour(192, 192, 192);

// A bitmap from the loaded resource bundle, or from the program's own when none is loaded; with
// light grey made transparent. A missing picture is logged as a warning.
class kvBMPBrandedResourceHandler final : public wxBitmapHandler {
public:
    kvBMPBrandedResourceHandler();
    bool LoadFile(wxBitmap* bitmap, const wxString& name, wxBitmapType type, int desiredWidth,
                  int desiredHeight) override;
    bool SaveFile(const wxBitmap*, const wxString&, wxBitmapType,
                  const wxPalette* = nullptr) const override {
        return false;
    }
};

// An icon from the program's own images, whatever bundle is loaded; scaled to the wanted size
// unless both are -1.
class kvICOBrandedResourceHandler final : public wxBitmapHandler {
public:
    kvICOBrandedResourceHandler();
    bool LoadFile(wxBitmap* bitmap, const wxString& name, wxBitmapType type, int desiredWidth,
                  int desiredHeight) override;
    bool SaveFile(const wxBitmap*, const wxString&, wxBitmapType,
                  const wxPalette* = nullptr) const override {
        return false;
    }
};

// Registers both loaders with wx's bitmap handlers, bitmap first (once per process), and the
// PNG reader they decode with.
void RegisterBrandedImageHandlers();

// Loads through the registered loader of that type; false when none is registered or the load
// fails.
bool LoadBrandedBitmap(wxBitmap& bitmap, const wxString& name,
                       wxBitmapType type = kBrandedBitmapType, int width = -1, int height = -1);
bool LoadBrandedIcon(wxIcon& icon, const wxString& name, int width = -1, int height = -1);

// The launcher's window icon at every size it has (IDI_MAINFRAME and IDI_MAINFRAME_48 to _256),
// so that a task switcher or dock need not scale up the 32-pixel one; empty when none loads.
wxIconBundle LauncherWindowIcons();

// While it lives, wx log messages go to standard output, among the program's other diagnostics,
// instead of the GUI's message box; the target before it is restored afterwards.
class CScopedConsoleLog {
public:
    CScopedConsoleLog();
    ~CScopedConsoleLog();
    CScopedConsoleLog(const CScopedConsoleLog&) = delete;
    CScopedConsoleLog& operator=(const CScopedConsoleLog&) = delete;

private:
    std::unique_ptr<wxLog> m_console;
    wxLog* m_previous = nullptr;
};
