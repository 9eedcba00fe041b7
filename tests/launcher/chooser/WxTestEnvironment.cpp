#include "WxTestEnvironment.h"

#include "common/registry/Registry.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/timer.h>

#include <cstdlib>
#include <fstream>

namespace testing_support {

namespace {

class TestApp final : public wxApp {
public:
    bool OnInit() override { return true; }
};

std::filesystem::path g_programDirectory;

class WxEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/velmora-chooser.XXXXXX";
        const char* made = ::mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        g_programDirectory = made;
        std::filesystem::create_directories(g_programDirectory / "machine");
        std::filesystem::create_directories(g_programDirectory / "user");
        ::setenv("VELMORA_PROGRAM_DIR", g_programDirectory.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (g_programDirectory / "machine").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (g_programDirectory / "user").c_str(), 1);
        ::setenv("LANG", "en_US.UTF-8", 1);

        // Failed wx assertions fail the test instead of opening a box.
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                              const wxString& cond, const wxString& msg) {
            ADD_FAILURE() << "wx assertion at " << file << ":" << line << " in " << func << ": "
                          << cond << " " << msg;
        });
        wxApp::SetInstance(new TestApp);
        static int argc = 1;
        static char name[] = "chooser-test";
        static char* argv[] = {name, nullptr};
        ASSERT_TRUE(wxEntryStart(argc, argv));
        ASSERT_TRUE(wxTheApp->CallOnInit());

        CreateResourceManager(ProgramKind::Launcher, LauncherBuiltinBundle());
        GetResourceManager()->LoadResourceLibrary(kLauncherResourceLibrary);
        CreateRegistry();
        RegisterBrandedImageHandlers();
    }

    void TearDown() override {
        DestroyRegistry();
        DestroyResourceManager();
        wxTheApp->OnExit();
        wxEntryCleanup();
        std::error_code ignored;
        std::filesystem::remove_all(g_programDirectory, ignored);
    }
};

[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

} // namespace

const std::filesystem::path& ProgramDirectory() {
    return g_programDirectory;
}

void WriteSettings(const std::string& text) {
    std::ofstream(g_programDirectory / "settings.ini") << text;
}

class UiPoller::Timer final : public wxTimer {
public:
    explicit Timer(std::function<bool()> step) : m_step(std::move(step)) {}
    void Notify() override {
        if (!m_finished && m_step()) {
            m_finished = true;
            Stop();
        }
    }
    bool m_finished = false;

private:
    std::function<bool()> m_step;
};

UiPoller::UiPoller(std::function<bool()> step) : m_timer(new Timer(std::move(step))) {
    m_timer->Start(50);
}

UiPoller::~UiPoller() {
    m_timer->Stop();
    delete m_timer;
}

bool UiPoller::Finished() const {
    return m_timer->m_finished;
}

} // namespace testing_support
