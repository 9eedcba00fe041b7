// The search's status dialog on a real display.
#include "common/resources/ResourceManager.h"
#include "tests/wizard/search/SearchTestSupport.h"
#include "wizard/search/FindFilesDlg_ui.h"
#include "wizard/search/FindFilesStep.h"
#include "wizard/search/SearchEventLoop_ui.h"

#include <gtest/gtest.h>

#include <wx/animate.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

// The toolkit's own record of the hint that keeps a window out of the task bar (wxWidgets reads
// none back). Declared here, since only the toolkit's library is at hand, not its headers.
extern "C" int gtk_window_get_skip_taskbar_hint(void* window);
extern "C" void* gtk_widget_get_window(void* widget);
extern "C" unsigned long gdk_x11_window_get_xid(void* window);

namespace {

class WxEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        static char name[] = "search_dialog_tests";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxApp::SetInstance(new wxApp());
        ASSERT_TRUE(wxEntryStart(argc, argv));
        ASSERT_TRUE(wxTheApp->CallOnInit());
    }
    void TearDown() override { wxEntryCleanup(); }
};

[[maybe_unused]] ::testing::Environment* const wxEnvironment =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

// What the dialog looked like while the search drove it.
struct DialogSeen {
    wxString title;
    wxString cancelLabel;
    bool skipsTaskBar = false;
    bool ownerHidden = false;
    bool animationPlaying = false;
    std::vector<wxString> labels;
};

// Drives the real status window and looks at its dialog each time the step sets the text;
// onText runs after that, on the UI thread.
class ObservedStatusWindow final : public CAbstractStatusWindow {
public:
    bool Show(bool ownerless, wxWindow* parent) override {
        const bool shown = m_window.Show(ownerless, parent);
        if (CFindFilesDlg* dialog = m_window.Dialog()) {
            seen.title = dialog->GetTitle();
            seen.skipsTaskBar = gtk_window_get_skip_taskbar_hint(dialog->GetHandle()) != 0;
            seen.ownerHidden = dialog->GetParent() != nullptr && dialog->GetParent() != parent &&
                               !dialog->GetParent()->IsShown();
            auto* animation =
                wxDynamicCast(dialog->FindWindow(CFindFilesDlg::kAnimationId), wxAnimationCtrl);
            seen.animationPlaying = animation != nullptr && animation->IsPlaying();
            if (auto* cancel = dialog->FindWindow(wxID_CANCEL)) {
                seen.cancelLabel = cancel->GetLabel();
            }
        }
        return shown;
    }
    void Close() override { m_window.Close(); }
    void SetText(const std::string& text) override {
        m_window.SetText(text);
        if (CFindFilesDlg* dialog = m_window.Dialog()) {
            seen.labels.push_back(dialog->FindWindow(CFindFilesDlg::kTextId)->GetLabel());
        }
        if (onText) {
            auto action = std::move(onText);
            onText = nullptr;
            action(m_window.Dialog());
        }
    }
    void BringToTop() override { m_window.BringToTop(); }
    void SetCallback(CAbstractProgressCallback* callback) override {
        CAbstractStatusWindow::SetCallback(callback);
        m_window.SetCallback(callback);
    }

    CFindFilesStatusWindow& Real() { return m_window; }

    DialogSeen seen;
    std::function<void(CFindFilesDlg*)> onText;

private:
    CFindFilesStatusWindow m_window;
};

// Holds the walk in every folder below the root until the search is told to stop.
std::unique_ptr<HookedLister> HoldingLister(const TempTree& tree) {
    return std::make_unique<HookedLister>(
        [root = tree.Root() + "/"](const std::string& folder, const std::atomic<int>& stop) {
            if (folder != root) {
                WaitForStop(stop);
            }
        });
}

// Lets the X server and the toolkit settle, so that simulated input reaches the dialog.
void SettleDisplay() {
    for (int i = 0; i < 10; ++i) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ClickButton(wxWindow* button) {
    SettleDisplay();
    wxUIActionSimulator simulator;
    const wxPoint centre = button->GetScreenRect().GetPosition() + button->GetSize() / 2;
    simulator.MouseMove(centre);
    SettleDisplay();
    simulator.MouseClick();
}

void PressEscape(CFindFilesDlg* dialog) {
    SettleDisplay();
    // Without a window manager the keys go to the window the pointer has entered.
    wxUIActionSimulator simulator;
    const wxRect area = dialog->GetScreenRect();
    simulator.MouseMove(area.GetBottomRight() + wxPoint(40, 40));
    SettleDisplay();
    simulator.MouseMove(area.GetPosition() + area.GetSize() / 2);
    dialog->SetFocus();
    SettleDisplay();
    simulator.Char(WXK_ESCAPE);
}

// The X server's own view, with no window manager in between: the window with the keyboard
// focus, and where a top-level window stands among the others (0 at the bottom).
Window XWindowOf(wxWindow* window) {
    return gdk_x11_window_get_xid(gtk_widget_get_window(window->GetHandle()));
}

Window FocusedXWindow() {
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(wxGetX11Display(), &focus, &revertTo);
    return focus;
}

int StackingIndex(Window window) {
    Display* display = wxGetX11Display();
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return -1;
    }
    int index = -1;
    for (unsigned int i = 0; i < count; ++i) {
        if (children[i] == window) {
            index = static_cast<int>(i);
        }
    }
    XFree(children);
    return index;
}

void MakeTree(const TempTree& tree) {
    tree.AddFile("a.jpg");
    tree.AddFile("DCIM/b.JPG");
    tree.AddFile("DCIM/.thumbs/c.png");
    tree.AddFile("DCIM/notes.txt");
}

struct CompletionRecorder final : CAbstractProgressCallback {
    int OnComplete(int result) override {
        results.push_back(result);
        return 1;
    }
    std::vector<int> results;
};

TEST(FindFilesDialog, AClosedDialogTellsOnlyTheCallbackStillSet) {
    CompletionRecorder kept;
    CompletionRecorder dropped;
    {
        CFindFilesStatusWindow window;
        window.SetCallback(&kept);
        ASSERT_TRUE(window.Show(true, nullptr));
        window.Close();
        SettleDisplay();
        EXPECT_EQ(kept.results, std::vector<int>{0});

        window.SetCallback(&dropped);
        ASSERT_TRUE(window.Show(true, nullptr));
        window.Close();
        // The one who set it goes away before the toolkit deletes the closed dialog.
        window.SetCallback(nullptr);
        SettleDisplay();
    }
    EXPECT_TRUE(dropped.results.empty());
    EXPECT_EQ(kept.results.size(), 1u);
}

TEST(FindFilesDialog, ShowsTheCountAndGoesAwayWhenTheSearchEnds) {
    TempTree tree;
    MakeTree(tree);
    CWxSearchEventLoop loop;
    ObservedStatusWindow window;
    auto parent = new wxFrame(nullptr, wxID_ANY, "parent", wxPoint(100, 100), wxSize(600, 400));
    parent->Show();
    {
        CFindFilesStep step(loop);
        for (const std::string& extension : WizardExtensions()) {
            step.AddExtension(extension);
        }
        step.SetStatusWindow(&window);
        step.SetParentWindow(parent);
        EXPECT_EQ(step.Start(tree.Root()), 0);
        EXPECT_EQ(step.Result(), CFindFilesStep::kResultEnded);
        EXPECT_EQ(step.Found().size(), 3u);
    }
    EXPECT_EQ(window.seen.title, "Dunmere Pictures Wizard");
    EXPECT_EQ(window.seen.cancelLabel, "Cancel");
    EXPECT_TRUE(window.seen.skipsTaskBar);
    EXPECT_TRUE(window.seen.ownerHidden);
    EXPECT_TRUE(window.seen.animationPlaying);
    ASSERT_FALSE(window.seen.labels.empty());
    EXPECT_EQ(window.seen.labels.back(), "Found: 3 picture(s)");
    EXPECT_EQ(window.Real().Dialog(), nullptr);
    parent->Destroy();
}

TEST(FindFilesDialog, ComesBackOnTopWithoutTakingTheFocus) {
    TempTree tree;
    MakeTree(tree);
    CWxSearchEventLoop loop;
    ObservedStatusWindow window;
    auto* other = new wxFrame(nullptr, wxID_ANY, "other", wxPoint(0, 0), wxSize(1000, 800));
    other->Show();
    Window focusAtStart = None;
    Window focusAtEnd = None;
    int otherAbove = -1;
    int dialogAbove = -1;
    wxTimer later;
    later.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        focusAtEnd = FocusedXWindow();
        otherAbove = StackingIndex(XWindowOf(other));
        if (CFindFilesDlg* dialog = window.Real().Dialog()) {
            dialogAbove = StackingIndex(XWindowOf(dialog));
        }
        window.Close();
    });
    window.onText = [&](CFindFilesDlg* dialog) {
        dialog->CallAfter([&] {
            // The user turns to another window while the search goes on: it takes the keyboard
            // and covers the dialog.
            other->Raise();
            SettleDisplay();
            focusAtStart = FocusedXWindow();
            later.StartOnce(1100); // four ticks and more
        });
    };
    CFindFilesStep step(loop, HoldingLister(tree));
    step.SetStatusWindow(&window);
    EXPECT_EQ(step.Start(tree.Root()), 0);
    EXPECT_EQ(step.Result(), CFindFilesStep::kResultEnded);

    const Window otherWindow = XWindowOf(other);
    ASSERT_EQ(focusAtStart, otherWindow) << "the other window never had the focus";
    EXPECT_EQ(focusAtEnd, otherWindow);
    ASSERT_GE(otherAbove, 0);
    EXPECT_GT(dialogAbove, otherAbove);
    other->Destroy();
}

TEST(FindFilesDialog, IsCentredOnItsParent) {
    auto parent = new wxFrame(nullptr, wxID_ANY, "parent", wxPoint(200, 150), wxSize(700, 500));
    parent->Show();
    SettleDisplay();
    CFindFilesStatusWindow window;
    ASSERT_TRUE(window.Show(true, parent));
    const wxRect area = parent->GetScreenRect();
    const wxRect dialog = window.Dialog()->GetScreenRect();
    EXPECT_NEAR(dialog.x + dialog.width / 2, area.x + area.width / 2, 2);
    EXPECT_NEAR(dialog.y + dialog.height / 2, area.y + area.height / 2, 2);
    parent->Destroy();
}

struct CancelCase {
    const char* name;
    std::function<void(CFindFilesDlg*)> cancel;
};

void PrintTo(const CancelCase& cancelCase, std::ostream* out) {
    *out << cancelCase.name;
}

class FindFilesDialogCancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(FindFilesDialogCancel, EndsTheSearchAtOnceWithResultOne) {
    TempTree tree;
    MakeTree(tree);
    CWxSearchEventLoop loop;
    ObservedStatusWindow window;
    window.onText = [](CFindFilesDlg* dialog) {
        ASSERT_NE(dialog, nullptr);
        // Once the dialog is up and counting, the user cancels.
        dialog->CallAfter([dialog] { GetParam().cancel(dialog); });
    };
    CFindFilesStep step(loop, HoldingLister(tree));
    step.SetStatusWindow(&window);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(step.Start(tree.Root()), 0);
    EXPECT_EQ(step.Result(), CFindFilesStep::kResultCancelled);
    EXPECT_FALSE(step.IsRunning());
    step.Found(); // the held worker has let go
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(window.Real().Dialog(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    ByButtonAndKey, FindFilesDialogCancel,
    ::testing::Values(CancelCase{"Button",
                                 [](CFindFilesDlg* dialog) {
                                     ClickButton(dialog->FindWindow(wxID_CANCEL));
                                 }},
                      CancelCase{"Escape", [](CFindFilesDlg* dialog) { PressEscape(dialog); }}),
    [](const ::testing::TestParamInfo<CancelCase>& param) { return param.param.name; });

TEST(FindFilesDialog, QuitWhileSearchingEndsAsCancelled) {
    TempTree tree;
    MakeTree(tree);
    CWxSearchEventLoop loop;
    ObservedStatusWindow window;
    window.onText = [](CFindFilesDlg* dialog) {
        dialog->CallAfter([] { wxEventLoopBase::GetActive()->ScheduleExit(9); });
    };
    CFindFilesStep step(loop, HoldingLister(tree));
    step.SetStatusWindow(&window);
    EXPECT_EQ(step.Start(tree.Root()), 9);
    EXPECT_EQ(step.Result(), CFindFilesStep::kResultCancelled);
    EXPECT_FALSE(step.IsRunning());
    EXPECT_EQ(window.Callback(), nullptr);
}

TEST(FindFilesDialog, TakesItsTextsFromTheLoadedResources) {
    setenv("LANG", "de_DE.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("VELMORA_PROGRAM_DIR", VELMORA_PROGRAM_DIR, 1);
    kvResourceManager* resources = CreateResourceManager(ProgramKind::Wizard, {});
    ASSERT_NE(resources, nullptr);
    ASSERT_NE(resources->LoadResourceLibrary(kWizardResourceLibrary), nullptr)
        << "the wizard's resource bundle is built into " << VELMORA_PROGRAM_DIR;
    CFindFilesStatusWindow window;
    ASSERT_TRUE(window.Show(true, nullptr));
    CFindFilesDlg* dialog = window.Dialog();
    EXPECT_EQ(dialog->GetTitle().utf8_string(), "Dunmere-Bilder-Assistent");
    EXPECT_EQ(dialog->FindWindow(wxID_CANCEL)->GetLabel().utf8_string(), "Abbrechen");
    EXPECT_EQ(dialog->FindWindow(CFindFilesDlg::kTextId)->GetLabel().utf8_string(),
              "Gefunden: 0 Bild(er)");
    DestroyResourceManager();
}

// The step's status lines carry the product name from settings.ini, which may be Latin-1; a
// strict UTF-8 conversion showed an empty line instead.
TEST(FindFilesDialog, ShowsAStatusLineThatIsNotUtf8) {
    CFindFilesStatusWindow window;
    ASSERT_TRUE(window.Show(true, nullptr));
    window.SetText("Found 3 Caf\xE9 pictures");
    EXPECT_EQ(window.Dialog()->FindWindow(CFindFilesDlg::kTextId)->GetLabel().utf8_string(),
              "Found 3 Caf\u00e9 pictures");
    window.SetText("Gefunden: 3 Bild(er) f\u00fcr Caf\u00e9");
    EXPECT_EQ(window.Dialog()->FindWindow(CFindFilesDlg::kTextId)->GetLabel().utf8_string(),
              "Gefunden: 3 Bild(er) f\u00fcr Caf\u00e9");
}

} // namespace
