#include "GuiHelpers.h"
#include "WxTestEnvironment.h"

#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "launcher/Splash_ui.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/weakref.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;

class RecordingLog final : public wxLog {
public:
    std::vector<std::pair<wxLogLevel, wxString>> lines;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo&) override {
        lines.emplace_back(level, text);
    }
};

// Makes the launcher's resource bundle in the program directory from a source text.
void MakeLauncherBundle(const std::string& source) {
    const auto dir = ProgramDirectory();
    std::ofstream(dir / "bundle.txt") << source;
    const std::string command = std::string(VELMORA_MKBUNDLE) + " --output '" +
                                (dir / "dorltRES").string() + "' '" +
                                (dir / "bundle.txt").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void SavePng(const wxImage& image, const std::string& name) {
    ASSERT_TRUE(image.SaveFile((ProgramDirectory() / name).string(), wxBITMAP_TYPE_PNG));
}

TEST(BrandedImages, SplashComesFromTheProgramWithLightGreyTransparent) {
    wxBitmap splash;
    ASSERT_TRUE(LoadBrandedBitmap(splash, "IDB_SPLASH"));
    EXPECT_EQ(splash.GetSize(), wxSize(480, 280));
    ASSERT_NE(splash.GetMask(), nullptr);
    const wxImage pixels = splash.ConvertToImage();
    EXPECT_TRUE(pixels.IsTransparent(0, 0));      // light-grey corner
    EXPECT_FALSE(pixels.IsTransparent(240, 140)); // the picture
}

TEST(BrandedImages, LightGreyIsTransparentWhateverThePicture) {
    wxImage picture(4, 2);
    picture.SetRGB(wxRect(0, 0, 4, 2), 10, 20, 30);
    picture.SetRGB(1, 0, 192, 192, 192);
    picture.SetRGB(3, 1, 192, 192, 191);
    SavePng(picture, "grey.png");
    MakeLauncherBundle("language en-us\nimage IDB_SPLASH grey.png\n");
    ASSERT_NE(GetResourceManager()->LoadResourceLibrary(kLauncherResourceLibrary), nullptr);

    wxBitmap splash;
    ASSERT_TRUE(LoadBrandedBitmap(splash, "IDB_SPLASH"));
    const wxImage pixels = splash.ConvertToImage();
    EXPECT_TRUE(pixels.IsTransparent(1, 0));
    EXPECT_FALSE(pixels.IsTransparent(0, 0));
    EXPECT_FALSE(pixels.IsTransparent(3, 1));
}

TEST(BrandedImages, ALoadedBundleServesItsOwnSplashAndNeverTheProgramsIcons) {
    wxImage red(10, 6);
    red.SetRGB(wxRect(0, 0, 10, 6), 255, 0, 0);
    SavePng(red, "red.png");
    MakeLauncherBundle("language en-us\nimage IDB_SPLASH red.png\nimage IDI_NODEVICE red.png\n");
    ASSERT_NE(GetResourceManager()->LoadResourceLibrary(kLauncherResourceLibrary), nullptr);

    wxBitmap splash;
    ASSERT_TRUE(LoadBrandedBitmap(splash, "IDB_SPLASH"));
    EXPECT_EQ(splash.GetSize(), wxSize(10, 6));
    // Icons always come from the program.
    wxIcon icon;
    ASSERT_TRUE(LoadBrandedIcon(icon, "IDI_NODEVICE"));
    EXPECT_EQ(icon.GetWidth(), 32);
}

TEST(BrandedImages, ABundleWithoutTheSplashShowsNoneAndLogsAWarning) {
    MakeLauncherBundle("language en-us\nstring 147 \"home\"\n");
    ASSERT_NE(GetResourceManager()->LoadResourceLibrary(kLauncherResourceLibrary), nullptr);

    RecordingLog log;
    wxLog* previous = wxLog::SetActiveTarget(&log);
    wxBitmap splash;
    const bool loaded = LoadBrandedBitmap(splash, "IDB_SPLASH");
    wxLog::FlushActive();
    wxLog::SetActiveTarget(previous);

    EXPECT_FALSE(loaded);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].first, wxLOG_Warning);
    EXPECT_EQ(log.lines[0].second,
              "Can't load bitmap 'IDB_SPLASH' from resources! Check .rc file.");
}

TEST(BrandedImages, IconsLoadAtTheirOwnOrTheWantedSize) {
    wxIcon icon;
    ASSERT_TRUE(LoadBrandedIcon(icon, "IDI_NETWORKDRIVE"));
    EXPECT_EQ(icon.GetSize(), wxSize(32, 32));
    ASSERT_TRUE(LoadBrandedIcon(icon, "IDI_INTERNETDRIVE", 16, 16));
    EXPECT_EQ(icon.GetSize(), wxSize(16, 16));
    ASSERT_TRUE(LoadBrandedIcon(icon, "IDI_MAINFRAME", 48, 48));
    EXPECT_EQ(icon.GetSize(), wxSize(48, 48));
    EXPECT_FALSE(LoadBrandedIcon(icon, "IDI_NOSUCHICON"));
}

TEST(BrandedImages, SplashShowsOnTopAndClosesItselfAfterTwoAndAHalfSeconds) {
    auto* owner = new wxFrame(nullptr, wxID_ANY, "owner");
    const auto shownAt = std::chrono::steady_clock::now();
    wxWeakRef<wxSplashScreen> splash(ShowBrandedSplash(owner));
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->HasFlag(wxSTAY_ON_TOP));
    EXPECT_EQ(splash->GetParent(), owner);

    PumpFor(500ms);
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->IsShown());
    // Centred on the screen.
    const wxRect screen(wxPoint(0, 0), wxGetDisplaySize());
    const wxRect where = splash->GetScreenRect();
    EXPECT_NEAR(where.GetX() + where.GetWidth() / 2, screen.GetWidth() / 2, 2);
    EXPECT_NEAR(where.GetY() + where.GetHeight() / 2, screen.GetHeight() / 2, 2);

    while (splash && splash->IsShown() && std::chrono::steady_clock::now() - shownAt < 5s) {
        PumpFor(50ms);
    }
    const auto closedAfter = std::chrono::steady_clock::now() - shownAt;
    EXPECT_TRUE(!splash || !splash->IsShown());
    EXPECT_GE(closedAfter, 2400ms);
    EXPECT_LE(closedAfter, 3500ms);
    owner->Destroy();
    PumpFor(50ms);
}

} // namespace
