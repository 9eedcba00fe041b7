#include "wizard/app/WizardCommandLine.h"
#ifndef _WIN32
#include "wizard/app/linux/GioCameraLinks.h"
#endif

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct CommandCase {
    const char* what;
    std::vector<std::string> args;
    WizardMode mode;
    std::string deviceId = {};
    std::string folder = {};
    std::string cameraName = {};
};

void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << c.what;
}

const char* ModeName(WizardMode mode) {
    switch (mode) {
    case WizardMode::Usage:
        return "usage";
    case WizardMode::Register:
        return "register";
    case WizardMode::Unregister:
        return "unregister";
    case WizardMode::Camera:
        return "camera";
    case WizardMode::Folder:
        return "folder";
    case WizardMode::NamedCamera:
        return "named camera";
    case WizardMode::UnusableLocation:
        return "unusable location";
    }
    return "?";
}

struct Mode {
    static constexpr WizardMode Usage = WizardMode::Usage;
    static constexpr WizardMode Register = WizardMode::Register;
    static constexpr WizardMode Unregister = WizardMode::Unregister;
    static constexpr WizardMode Camera = WizardMode::Camera;
    static constexpr WizardMode Folder = WizardMode::Folder;
    static constexpr WizardMode NamedCamera = WizardMode::NamedCamera;
    static constexpr WizardMode Unusable = WizardMode::UnusableLocation;
};

const CommandCase kCases[] = {
    // The forms of the camera-event service, AutoPlay and the installer.
    {"nothing", {}, Mode::Usage, "", ""},
    {"register", {"/register"}, Mode::Register, "", ""},
    {"register in capitals", {"/REGISTER"}, Mode::Register, "", ""},
    {"unregister mixed case", {"/UnRegister"}, Mode::Unregister, "", ""},
    {"register with a second argument", {"/register", "x"}, Mode::Usage, "", ""},
    {"unregister with a second argument", {"/unregister", "x"}, Mode::Usage, "", ""},
    {"register with a suffix", {"/registered"}, Mode::Usage, "", ""},
    {"unknown word", {"/web"}, Mode::Usage, "", ""},
    {"upload without folder", {"/upload"}, Mode::Usage, "", ""},
    {"upload", {"/upload", "/media/card"}, Mode::Folder, "", "/media/card"},
    {"upload in capitals", {"/UPLOAD", "/media/card"}, Mode::Folder, "", "/media/card"},
    {"upload with an empty folder", {"/upload", ""}, Mode::Usage, "", ""},
    {"upload keeps a relative folder", {"/upload", "card"}, Mode::Folder, "", "card"},
    {"arguments past the second", {"/upload", "/a", "/b", "/c"}, Mode::Folder, "", "/a"},
    {"camera", {"/StiDevice:usb:001,005", "event"}, Mode::Camera, "usb:001,005", ""},
    {"camera with a disk port",
     {"/StiDevice:disk:/media/card", "1"},
     Mode::Camera,
     "disk:/media/card",
     ""},
    {"camera id keeps its case and spaces", {"/StiDevice:Usb 1", "e"}, Mode::Camera, "Usb 1", ""},
    {"camera with an empty second argument", {"/StiDevice:usb:1", ""}, Mode::Camera, "usb:1", ""},
    {"camera without a second argument", {"/StiDevice:usb:001,005"}, Mode::Usage, "", ""},
    {"camera prefix in another case", {"/stidevice:usb:001,005", "e"}, Mode::Usage, "", ""},
    {"camera prefix not at the start", {" /StiDevice:usb:1", "e"}, Mode::Usage, "", ""},
    {"camera prefix without colon", {"/StiDevice", "e"}, Mode::Usage, "", ""},
    {"camera test comes before upload", {"/StiDevice:/upload", "/x"}, Mode::Camera, "/upload", ""},
    {"upload as the second argument", {"/x", "/upload"}, Mode::Usage, "", ""},
    // What the desktop hands over.
    {"autoplay path", {"/autoplay", "/media/me/CARD"}, Mode::Folder, "", "/media/me/CARD"},
    {"autoplay any case", {"/AutoPlay", "/media/me/CARD"}, Mode::Folder, "", "/media/me/CARD"},
    {"autoplay file uri",
     {"/autoplay", "file:///media/me/My%20Card"},
     Mode::Folder,
     "",
     "/media/me/My Card"},
    {"autoplay file uri with utf-8",
     {"/autoplay", "file:///media/F%C3%B6to"},
     Mode::Folder,
     "",
     "/media/F\xC3\xB6to"},
    {"autoplay file uri, localhost",
     {"/autoplay", "file://localhost/media/c"},
     Mode::Folder,
     "",
     "/media/c"},
    {"autoplay file uri, LOCALHOST",
     {"/autoplay", "FILE://LocalHost/media/c"},
     Mode::Folder,
     "",
     "/media/c"},
    {"autoplay file uri without authority",
     {"/autoplay", "file:/media/c"},
     Mode::Folder,
     "",
     "/media/c"},
    {"autoplay file uri of another host", {"/autoplay", "file://nas/media/c"}, Mode::Unusable},
    {"autoplay file uri without path", {"/autoplay", "file://localhost"}, Mode::Unusable},
    {"autoplay file uri, relative", {"/autoplay", "file:media/c"}, Mode::Unusable},
    {"autoplay file uri, broken escape", {"/autoplay", "file:///media/%G1"}, Mode::Unusable},
    {"autoplay file uri, cut escape", {"/autoplay", "file:///media/%4"}, Mode::Unusable},
    {"autoplay file uri, escaped nul", {"/autoplay", "file:///media/a%00b"}, Mode::Unusable},
    {"autoplay file uri, fragment", {"/autoplay", "file:///media/a#b"}, Mode::Unusable},
    {"autoplay file uri, query", {"/autoplay", "file:///media/a?b=1"}, Mode::Unusable},
    {"autoplay file uri, escaped hash",
     {"/autoplay", "file:///media/a%23b"},
     Mode::Folder,
     "",
     "/media/a#b"},
    {"autoplay camera", {"/autoplay", "gphoto2://[usb:001,005]/"}, Mode::Camera, "usb:001,005", ""},
    {"autoplay camera escaped",
     {"/autoplay", "gphoto2://%5Busb%3A001%2C005%5D/"},
     Mode::Camera,
     "usb:001,005",
     ""},
    {"autoplay camera lower-case escapes",
     {"/autoplay", "gphoto2://%5busb%3a001%2c005%5d/"},
     Mode::Camera,
     "usb:001,005",
     ""},
    {"autoplay camera without slash",
     {"/autoplay", "gphoto2://[usb:001,005]"},
     Mode::Camera,
     "usb:001,005",
     ""},
    {"autoplay camera disk port",
     {"/autoplay", "gphoto2://[disk:/media/card]/"},
     Mode::Camera,
     "disk:/media/card",
     ""},
    {"autoplay camera, empty port", {"/autoplay", "gphoto2://[]/"}, Mode::Unusable},
    {"autoplay camera, a folder in it",
     {"/autoplay", "gphoto2://[usb:001,005]/DCIM"},
     Mode::Unusable},
    {"autoplay camera, newline in port", {"/autoplay", "gphoto2://[usb%0A1]/"}, Mode::Unusable},
    {"autoplay other scheme", {"/autoplay", "smb://server/share"}, Mode::Unusable},
    {"autoplay relative path", {"/autoplay", "media/card"}, Mode::Unusable},
    // Cameras the desktop names after the camera, with one storage or several.
    {"autoplay named camera",
     {"/autoplay", "gphoto2://Canon_Inc._Canon_Digital_Camera_C767D4B6/"},
     Mode::NamedCamera,
     "",
     "",
     "Canon_Inc._Canon_Digital_Camera_C767D4B6"},
    {"autoplay named camera without slash",
     {"/autoplay", "gphoto2://Nikon_DSC_D750_3001234"},
     Mode::NamedCamera,
     "",
     "",
     "Nikon_DSC_D750_3001234"},
    {"autoplay named camera, one of its storages",
     {"/autoplay", "gphoto2://Apple_Inc._iPhone_00008030/store_00010001/"},
     Mode::NamedCamera,
     "",
     "",
     "Apple_Inc._iPhone_00008030"},
    {"autoplay named camera, escaped name",
     {"/autoplay", "gphoto2://Camera%20With%20Spaces/"},
     Mode::NamedCamera,
     "",
     "",
     "Camera With Spaces"},
    {"autoplay named camera, a folder in a storage",
     {"/autoplay", "gphoto2://Canon_Inc._Canon_Digital_Camera/store_1/DCIM/"},
     Mode::Unusable},
    {"autoplay named camera, escaped slash", {"/autoplay", "gphoto2://a%2Fb/"}, Mode::Unusable},
    {"autoplay named camera, escaped bracket", {"/autoplay", "gphoto2://%5Bx/"}, Mode::Unusable},
    {"autoplay named camera, control character", {"/autoplay", "gphoto2://a%01b/"}, Mode::Unusable},
    {"autoplay camera, no name", {"/autoplay", "gphoto2:///"}, Mode::Unusable},
    {"autoplay empty", {"/autoplay", ""}, Mode::Usage, "", ""},
    {"autoplay alone", {"/autoplay"}, Mode::Usage, "", ""},
};

class WizardCommandLineTable : public testing::TestWithParam<CommandCase> {};

TEST_P(WizardCommandLineTable, GivesTheModeAndItsValues) {
    const CommandCase& c = GetParam();
    const WizardCommand command = ParseWizardCommandLine(c.args);
    EXPECT_STREQ(ModeName(command.mode), ModeName(c.mode));
    EXPECT_EQ(command.deviceId, c.deviceId);
    EXPECT_EQ(command.folder, c.folder);
    EXPECT_EQ(command.cameraName, c.cameraName);
    const bool locationKept =
        c.mode == WizardMode::NamedCamera || c.mode == WizardMode::UnusableLocation;
    EXPECT_EQ(command.location, locationKept ? c.args[1] : std::string())
        << "a message names the location exactly as the desktop gave it";
}

TEST(CameraLinks, AUsbDeviceFileNamesItsPortAndNothingElseDoes) {
    EXPECT_EQ(UsbPortOfDevicePath("/dev/bus/usb/001/005"), "usb:001,005");
    EXPECT_EQ(UsbPortOfDevicePath("/dev/bus/usb/012/127"), "usb:012,127");
    for (const char* other : {"", "/dev/sdb1", "/dev/bus/usb/1/5", "/dev/bus/usb/001/005/x",
                              "/dev/bus/usb/001", "/dev/bus/usb/0a1/005", "dev/bus/usb/001/005"}) {
        EXPECT_EQ(UsbPortOfDevicePath(other), "") << other;
    }
}

#ifndef _WIN32
TEST(CameraLinks, TheDesktopsMountsAnswerForACameraTheyDoNotKnow) {
    CGioCameraLinks links;
    EXPECT_EQ(links.PortOfNamedCamera("No_Such_Camera_0000"), "");
}
#endif

class ScriptedCameraLinks : public CAbstractCameraLinks {
public:
    std::string PortOfNamedCamera(const std::string& cameraName) override {
        asked.push_back(cameraName);
        return cameraName == "Canon_EOS_1234" ? "usb:002,009" : "";
    }
    std::vector<std::string> asked;
};

TEST(CameraLinks, ANamedCameraTheDesktopKnowsBecomesItsPortAndAnUnknownOneStaysNamed) {
    ScriptedCameraLinks links;
    const std::vector<std::string> known{"/autoplay", "gphoto2://Canon_EOS_1234/"};
    const WizardCommand found = ResolveNamedCamera(ParseWizardCommandLine(known), links);
    EXPECT_STREQ(ModeName(found.mode), "camera");
    EXPECT_EQ(found.deviceId, "usb:002,009");

    const std::vector<std::string> gone{"/autoplay", "gphoto2://Nikon_Gone/"};
    const WizardCommand missing = ResolveNamedCamera(ParseWizardCommandLine(gone), links);
    EXPECT_STREQ(ModeName(missing.mode), "named camera");
    EXPECT_EQ(missing.deviceId, "");

    const std::vector<std::string> port{"/autoplay", "gphoto2://[usb:001,005]/"};
    EXPECT_EQ(ResolveNamedCamera(ParseWizardCommandLine(port), links).deviceId, "usb:001,005");
    EXPECT_EQ(links.asked, (std::vector<std::string>{"Canon_EOS_1234", "Nikon_Gone"}))
        << "a port needs no lookup";
}

INSTANTIATE_TEST_SUITE_P(Forms, WizardCommandLineTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CommandCase>& param) {
                             std::string name;
                             for (const char* p = param.param.what; *p; ++p) {
                                 const char ch = *p;
                                 if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                                     (ch >= '0' && ch <= '9')) {
                                     name += ch;
                                 } else if (!name.empty() && name.back() != '_') {
                                     name += '_';
                                 }
                             }
                             return name;
                         });

} // namespace
