// Finding the wizard's camera among the detected ones, over made-up cameras, and asking the
// desktop to let a camera go through a stand-in for gio.
#include "wizard/camera/CameraFinder.h"
#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"
#include "wizard/camera/linux/GioCameraRelease.h"

#include "tests/wizard/camera/FakeCamera.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Each camera the system opens holds what fill puts in it.
void Prepare(CFakeCameraSystem& system, std::function<void(CFakeCamera&)> fill) {
    system.makeCamera = [fill](const CameraPort& port) {
        auto camera = std::make_unique<CFakeCamera>(port);
        fill(*camera);
        return camera;
    };
}

void TwoPictures(CFakeCamera& camera) {
    camera.AddFolder("/", "DCIM");
    camera.AddFolder("/DCIM", "100A");
    camera.AddFile("/DCIM/100A", "MVI_0001.MOV", FakeFacts("video/quicktime", false));
    camera.AddFile("/DCIM/100A", "IMG_0002.JPG", FakeFacts("image/jpeg", true));
    camera.AddFile("/DCIM/100A", "IMG_0003.JPG", FakeFacts("image/jpeg", false));
}

class FindingTheCamera : public ::testing::Test {
protected:
    void SetUp() override {
        m_system.cameras = {{"Maker A", "usb:001,004"}, {"Maker B", "usb:001,005"}};
        Prepare(m_system, TwoPictures);
    }

    CFakeCameraSystem m_system;
    CRecordingRelease m_release;
};

TEST_F(FindingTheCamera, TheCameraOnTheExactPortIsFoundWithItsFirstPicturesRights) {
    const CameraFind find = FindCamera("usb:001,005", m_system, m_release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_EQ(find.deviceId, "usb:001,005");
    EXPECT_EQ(find.displayName, "Maker B");
    EXPECT_EQ(find.driveText, " ");
    EXPECT_FALSE(find.noPictures);
    // The video before it may not be deleted; the first picture may.
    EXPECT_FALSE(find.cannotDelete);
    EXPECT_TRUE(m_release.ports.empty());
    EXPECT_EQ(m_system.opened, (std::vector<std::string>{"usb:001,005"}));
}

TEST_F(FindingTheCamera, WithoutAnExactMatchOrAUsableCountTheWizardEndsSilently) {
    for (const char* id : {"usb:001,006", "USB:001,005", "usb:001,005 ", "usb:001", ""}) {
        const CameraFind find = FindCamera(id, m_system, m_release);
        EXPECT_EQ(find.status, CameraFindStatus::EndSilently) << id;
    }
    m_system.detectResult = {CameraStatus::Failed, -1, "no drivers"};
    EXPECT_EQ(FindCamera("usb:001,005", m_system, m_release).status, CameraFindStatus::EndSilently);
    m_system.detectResult = {};

    m_system.cameras.clear();
    EXPECT_EQ(FindCamera("usb:001,005", m_system, m_release).status, CameraFindStatus::EndSilently);

    for (int i = 0; i < 19; ++i) {
        m_system.cameras.push_back({"Card", "disk:/media/card" + std::to_string(i)});
    }
    m_system.cameras.push_back({"Maker B", "usb:001,005"});
    EXPECT_EQ(FindCamera("usb:001,005", m_system, m_release).status, CameraFindStatus::Found);
    m_system.cameras.push_back({"Card", "disk:/media/card20"});
    EXPECT_EQ(FindCamera("usb:001,005", m_system, m_release).status, CameraFindStatus::EndSilently);
    EXPECT_TRUE(m_system.opened.size() == 1) << "only the run with 20 cameras opens one";
}

TEST_F(FindingTheCamera, ACameraThatCannotBeOpenedOrListedOrHoldsNoPictureHasNoPictures) {
    m_system.openResults.push_back({CameraStatus::Failed, -7, "I/O problem"});
    CameraFind find = FindCamera("usb:001,005", m_system, m_release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_EQ(find.displayName, "Maker B");
    EXPECT_TRUE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);
    EXPECT_TRUE(m_release.ports.empty()) << "only a claimed camera is asked for";

    Prepare(m_system, [](CFakeCamera& camera) {
        camera.AddFolder("/", "DCIM");
        camera.AddFile("/DCIM", "IMG_0001.XMP", FakeFacts("")); // a sidecar alone stays
        camera.AddFile("/DCIM", "README.TXT", FakeFacts(""));
    });
    find = FindCamera("usb:001,005", m_system, m_release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_TRUE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);

    Prepare(m_system, [](CFakeCamera& camera) {
        camera.AddFolder("/", "DCIM");
        camera.AddFile("/DCIM", "IMG_0001.JPG", FakeFacts("image/jpeg"));
        camera.FailListing("/"); // the camera went away before its files were listed
    });
    find = FindCamera("usb:001,005", m_system, m_release);
    EXPECT_TRUE(find.noPictures);
}

TEST_F(FindingTheCamera, OnlyAFirstPictureThatSaysSoMayBeDeleted) {
    Prepare(m_system, [](CFakeCamera& camera) {
        camera.AddFile("/", "IMG_0001.JPG", FakeFacts("image/jpeg", false));
        camera.AddFile("/", "IMG_0002.JPG", FakeFacts("image/jpeg", true));
    });
    CameraFind find = FindCamera("usb:001,004", m_system, m_release);
    EXPECT_FALSE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);

    Prepare(m_system, [](CFakeCamera& camera) {
        CameraFileFacts facts = FakeFacts("image/jpeg", true);
        facts.permissionsKnown = false; // rights the camera does not tell are not assumed
        camera.AddFile("/", "IMG_0001.JPG", facts);
    });
    find = FindCamera("usb:001,004", m_system, m_release);
    EXPECT_FALSE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete);

    // The first picture of the walk decides; a later folder's is never looked at.
    const auto twoFolders = [](CFakeCamera& camera) {
        camera.AddFolder("/", "DCIM");
        camera.AddFolder("/DCIM", "100A");
        camera.AddFolder("/DCIM", "101B");
        camera.AddFile("/DCIM/100A", "IMG_0001.JPG", FakeFacts("image/jpeg", false));
        camera.AddFile("/DCIM/101B", "IMG_0002.JPG", FakeFacts("image/jpeg", true));
    };
    Prepare(m_system, twoFolders);
    find = FindCamera("usb:001,004", m_system, m_release);
    EXPECT_FALSE(find.noPictures);
    EXPECT_TRUE(find.cannotDelete) << "the rights came from a picture after the first";

    Prepare(m_system, [twoFolders](CFakeCamera& camera) {
        twoFolders(camera);
        camera.FailListing("/DCIM/101B"); // a walk past the first picture would fail here
    });
    find = FindCamera("usb:001,004", m_system, m_release);
    EXPECT_FALSE(find.noPictures) << "finding the camera read past its first picture";
    EXPECT_TRUE(find.cannotDelete);
}

TEST_F(FindingTheCamera, AClaimedCameraIsReleasedByTheDesktopAndOpenedOnceMore) {
    m_system.openResults.push_back({CameraStatus::Claimed, -53, "Could not claim the USB device"});
    const CameraFind find = FindCamera("usb:001,005", m_system, m_release);
    EXPECT_EQ(find.status, CameraFindStatus::Found);
    EXPECT_FALSE(find.noPictures);
    EXPECT_EQ(m_release.ports, (std::vector<std::string>{"usb:001,005"}));
    EXPECT_EQ(m_system.opened.size(), 2u);
}

TEST_F(FindingTheCamera, ACameraStillClaimedAfterTheReleaseIsUnavailableWithAReason) {
    // The reason is shown as it is: it comes from the wizard's texts.
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    for (const bool released : {true, false}) {
        m_release.answer = released;
        m_release.ports.clear();
        m_system.opened.clear();
        m_system.openResults = {{CameraStatus::Claimed, -53, "claim"},
                                {CameraStatus::Claimed, -53, "claim"},
                                {CameraStatus::Claimed, -53, "claim"}};
        const CameraFind find = FindCamera("usb:001,005", m_system, m_release);
        EXPECT_EQ(find.status, CameraFindStatus::Unavailable);
        EXPECT_NE(find.reason.find("usb:001,005"), std::string::npos) << find.reason;
        EXPECT_NE(find.reason.find("in use by another program"), std::string::npos);
        EXPECT_NE(find.reason.find(released ? "kept it" : "could not be asked"), std::string::npos)
            << find.reason;
        EXPECT_EQ(m_release.ports.size(), 1u) << "the desktop is asked once";
        EXPECT_EQ(m_system.opened.size(), 2u) << "and the camera tried once more";
    }
}

// A stand-in for gio: a script in a folder of the test's own.
class GioStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vm-gio.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    std::string Script(const std::string& body) {
        const std::string path = m_folder + "/gio";
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    std::vector<std::string> RecordedArguments() const {
        std::ifstream in(m_folder + "/arguments");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::string m_folder;
};

TEST_F(GioStandIn, TheCameraIsUnmountedByItsLocationWithoutAShell) {
    const std::string program =
        Script("for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + m_folder + "/arguments'; done");
    CGioCameraRelease release(program);
    const std::string port = "disk:/media/a b;touch " + m_folder + "/pwned $(id)";
    EXPECT_TRUE(release.Release(port));
    EXPECT_EQ(RecordedArguments(),
              (std::vector<std::string>{"mount", "-u", "gphoto2://[" + port + "]/"}));
    EXPECT_FALSE(fs::exists(m_folder + "/pwned"));

    EXPECT_FALSE(CGioCameraRelease(Script("exit 2")).Release("usb:001,005"));
    EXPECT_FALSE(CGioCameraRelease(m_folder + "/no-such-gio").Release("usb:001,005"));
}

TEST_F(GioStandIn, AGioThatHangsIsKilledWhenTheWaitRunsOut) {
    const std::string program = Script("echo $$ > '" + m_folder + "/pid'; exec sleep 30");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CGioCameraRelease(program, std::chrono::milliseconds(300)).Release("usb:1,2"));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(5));

    pid_t pid = 0;
    std::ifstream(m_folder + "/pid") >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_NE(kill(pid, 0), 0) << "the hanging gio was neither killed nor reaped";
}

} // namespace
