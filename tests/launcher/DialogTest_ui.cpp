// The name and username dialog under a real X server.
#include "TestProcess.h"
#include "WxTestSupport_ui.h"

#include "common/branding/Branding.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "launcher/LauncherTexts.h"
#include "launcher/LauncherUi_ui.h"
#include "launcher/SubDomainUsernameDlg_ui.h"
#include "resources/BuiltinBundles.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cstdlib>

namespace {

class NamesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteTextFile(folder.Path() / "settings.ini", "[Default]\nProductName=Acme\n");
        setenv("VELMORA_PROGRAM_DIR", folder.Path().c_str(), 1);
        CreateResourceManager(ProgramKind::Launcher, LauncherBuiltinBundle());
        RegisterBrandedImageHandlers();
        dialog =
            new kvSubDomainUsernameDlg(nullptr, kvSubDomainUsernameDlg::kDialogId,
                                       wxString::FromUTF8(LoadBrandedText(launcher_text::kCaption)),
                                       wxDefaultPosition, wxSize(400, 300));
    }
    void TearDown() override {
        dialog->Destroy();
        DestroyResourceManager();
        unsetenv("VELMORA_PROGRAM_DIR");
    }

    // Runs the dialog with the steps and returns how it ended.
    int Run(std::vector<std::function<void(wxDialog*)>> steps) {
        ScriptModalDialog(dialog, std::move(steps));
        return dialog->ShowModal();
    }

    std::function<void(wxDialog*)> Type(wxTextCtrl* field, const char* text) {
        return [field, text](wxDialog*) { field->ChangeValue(wxString::FromUTF8(text)); };
    }
    static void ClickOk(wxDialog* shown) { ClickButton(shown, wxID_OK); }
    static void ClickCancel(wxDialog* shown) { ClickButton(shown, wxID_CANCEL); }

    TemporaryFolder folder;
    RecordingModalHook hook;
    kvSubDomainUsernameDlg* dialog = nullptr;
};

std::vector<std::string> StaticTexts(wxWindow* window) {
    std::vector<std::string> texts;
    for (wxWindow* child : window->GetChildren()) {
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            texts.push_back(label->GetLabel().utf8_string());
        }
    }
    return texts;
}

} // namespace

TEST_F(NamesDialogTest, ShowsTheBrandedTextsAndTwoEmptyFields) {
    EXPECT_EQ(dialog->GetTitle().utf8_string(), "Acme Tandro");
    EXPECT_EQ(StaticTexts(dialog), (std::vector<std::string>{
                                       "Type your Acme Name and Acme Username.",
                                       "Acme Name:",
                                       "Acme Username:",
                                   }));
    EXPECT_EQ(dialog->FindWindow(kvSubDomainUsernameDlg::kNameFieldId), dialog->NameField());
    EXPECT_EQ(dialog->FindWindow(kvSubDomainUsernameDlg::kUsernameFieldId),
              dialog->UsernameField());
    EXPECT_TRUE(dialog->NameField()->IsEmpty());
    EXPECT_TRUE(dialog->UsernameField()->IsEmpty());
    EXPECT_EQ(dynamic_cast<wxButton*>(dialog->FindWindow(wxID_OK))->GetLabel(), "&OK");
    EXPECT_EQ(dynamic_cast<wxButton*>(dialog->FindWindow(wxID_CANCEL))->GetLabel(), "&Cancel");
    // Fitted to its layout: every label is wholly visible.
    for (wxWindow* child : dialog->GetChildren()) {
        EXPECT_GE(child->GetSize().GetWidth(), child->GetBestSize().GetWidth());
    }
}

TEST_F(NamesDialogTest, CarriesTheApplicationIconAtEverySize) {
    const wxIconBundle icons = dialog->GetIcons();
    std::vector<int> sizes;
    for (size_t i = 0; i < icons.GetIconCount(); ++i) {
        const wxIcon icon = icons.GetIconByIndex(i);
        EXPECT_EQ(icon.GetWidth(), icon.GetHeight());
        sizes.push_back(icon.GetWidth());
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{32, 48, 64, 128, 256}));
}

TEST_F(NamesDialogTest, OkWithoutANameAsksForTheNameFirstAndStaysOpen) {
    bool stillOpen = false;
    EXPECT_EQ(Run({ClickOk, [&](wxDialog* shown) { stillOpen = shown->IsModal(); }, ClickCancel}),
              wxID_CANCEL);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(hook.messageBoxes.size(), 1u);
    EXPECT_EQ(hook.messageBoxes[0].message, "Please type your Velmora Name");
    // The check's caption is fixed, whatever the product is called.
    EXPECT_EQ(hook.messageBoxes[0].caption, "Tandro");
    EXPECT_TRUE(hook.messageBoxes[0].style & wxICON_EXCLAMATION);
    EXPECT_TRUE(hook.messageBoxes[0].style & wxOK);
    EXPECT_EQ(hook.messageBoxes[0].parent, dialog);
}

TEST_F(NamesDialogTest, OkWithoutAUsernameAsksForItAndKeepsTheName) {
    EXPECT_EQ(Run({Type(dialog->NameField(), "smith"), ClickOk, ClickCancel}), wxID_CANCEL);
    ASSERT_EQ(hook.messageBoxes.size(), 1u);
    EXPECT_EQ(hook.messageBoxes[0].message, "Please type your Velmora Username");
    EXPECT_EQ(hook.messageBoxes[0].caption, "Tandro");
    EXPECT_EQ(dialog->NameField()->GetValue(), "smith");
}

TEST_F(NamesDialogTest, OkWithBothNamesEndsTheDialogEvenWithBlanks) {
    EXPECT_EQ(
        Run({Type(dialog->NameField(), " "), Type(dialog->UsernameField(), "alice"), ClickOk}),
        wxID_OK);
    EXPECT_TRUE(hook.messageBoxes.empty());
}

TEST_F(NamesDialogTest, AReadOnlyEmptyNameLeavesOnlyCancel) {
    dialog->NameField()->SetEditable(false);
    EXPECT_FALSE(dialog->NameField()->IsEditable());
    EXPECT_EQ(Run({Type(dialog->UsernameField(), "alice"), ClickOk, ClickOk, ClickCancel}),
              wxID_CANCEL);
    ASSERT_EQ(hook.messageBoxes.size(), 2u);
    EXPECT_EQ(hook.messageBoxes[0].message, "Please type your Velmora Name");
    EXPECT_EQ(hook.messageBoxes[1].message, "Please type your Velmora Name");
}

TEST_F(NamesDialogTest, TheCloseBoxCancelsEvenWhenBothNamesAreThere) {
    EXPECT_EQ(Run({Type(dialog->NameField(), "smith"), Type(dialog->UsernameField(), "alice"),
                   [](wxDialog* shown) { shown->Close(); }}),
              wxID_CANCEL);
    EXPECT_TRUE(hook.messageBoxes.empty());
}

// A settings.ini saved in Latin-1 (as Windows editors save it) must still give readable windows:
// strict UTF-8 conversion turned every branded text into an empty one.
TEST(Latin1Settings, BrandedTextsStayReadableInEveryWindow) {
    TemporaryFolder folder;
    WriteTextFile(folder.Path() / "settings.ini", "[Default]\nProductName=Caf\xE9\n");
    setenv("VELMORA_PROGRAM_DIR", folder.Path().c_str(), 1);
    CreateResourceManager(ProgramKind::Launcher, LauncherBuiltinBundle());
    RecordingModalHook hook;
    CWxLauncherUi ui;

    ui.ShowUsage("/opt/velmora/doorlet");
    ui.ShowMessage({launcher_text::kCannotNavigate, 7, MessageIcon::Question});
    ASSERT_EQ(hook.messageBoxes.size(), 2u);
    EXPECT_EQ(hook.messageBoxes[0].message,
              "Usage:\n\n/opt/velmora/doorlet /web: Browse to your Caf\u00e9\n"
              "/opt/velmora/doorlet /folder: Open an explorer window to your Caf\u00e9");
    EXPECT_EQ(hook.messageBoxes[0].caption, "Caf\u00e9 Tandro");
    EXPECT_EQ(hook.messageBoxes[1].message, "Unable to Navigate to your Caf\u00e9. (7)");

    std::string title;
    std::vector<std::string> labels;
    hook.onDialog = [&](wxDialog* shown) {
        title = shown->GetTitle().utf8_string();
        labels = StaticTexts(shown);
        return wxID_CANCEL;
    };
    EXPECT_FALSE(ui.AskNames("home", "", false).confirmed);
    EXPECT_EQ(title, "Caf\u00e9 Tandro");
    EXPECT_EQ(labels, (std::vector<std::string>{"Type your Caf\u00e9 Name and Caf\u00e9 Username.",
                                                "Caf\u00e9 Name:", "Caf\u00e9 Username:"}));
    DestroyResourceManager();
    unsetenv("VELMORA_PROGRAM_DIR");
}
