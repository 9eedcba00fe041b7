#include "WxTestSupport_ui.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/init.h>
#include <wx/msgdlg.h>

#include <memory>

namespace {

class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static char name[] = "wx-tests";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxApp::SetInstance(new wxApp());
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "no display";
        // The toolkit's assertions are test failures, not dialogs.
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                              const wxString& cond, const wxString& msg) {
            ADD_FAILURE_AT(file.utf8_str(), line)
                << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
                << msg.utf8_string();
        });
    }
    void TearDown() override { wxEntryCleanup(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

void RunStep(wxDialog* dialog, std::shared_ptr<std::vector<std::function<void(wxDialog*)>>> steps,
             std::size_t index) {
    if (!dialog->IsModal()) {
        return;
    }
    if (index >= steps->size()) {
        ADD_FAILURE() << "the dialog is still open after its script";
        dialog->EndModal(wxID_ABORT);
        return;
    }
    (*steps)[index](dialog);
    dialog->CallAfter([dialog, steps, index] { RunStep(dialog, steps, index + 1); });
}

} // namespace

int RecordingModalHook::Enter(wxDialog* dialog) {
    if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) {
        messageBoxes.push_back({box->GetMessage().utf8_string(), box->GetTitle().utf8_string(),
                                box->GetMessageDialogStyle(), box->GetParent()});
        if (whileMessageBoxOpen) {
            whileMessageBoxOpen(messageBoxes.back());
        }
        return messageBoxAnswer;
    }
    otherDialogs.push_back(dialog->GetTitle().utf8_string());
    return onDialog ? onDialog(dialog) : wxID_NONE;
}

void ScriptModalDialog(wxDialog* dialog, std::vector<std::function<void(wxDialog*)>> steps) {
    auto shared = std::make_shared<std::vector<std::function<void(wxDialog*)>>>(std::move(steps));
    dialog->CallAfter([dialog, shared] { RunStep(dialog, shared, 0); });
}

void ClickButton(wxDialog* dialog, wxWindowID id) {
    auto* button = dynamic_cast<wxButton*>(dialog->FindWindow(id));
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}
