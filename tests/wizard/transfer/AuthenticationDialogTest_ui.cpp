// The credentials dialog and its prompt front end, with wx's modal dialog hook answering.
#include "wizard/transfer/AuthenticationDialog_ui.h"

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

namespace {

class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static char name[] = "transfer_ui_tests";
        static char* argv[] = {name, nullptr};
        int argc = 1;
        wxApp::SetInstance(new wxApp());
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "no display";
    }
    void TearDown() override { wxEntryCleanup(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new WxEnvironment);

// Reads what the dialog shows, then types into it and answers.
class TypeAndAnswer : public wxExpectModalBase<kvCredentialsDlg, TypeAndAnswer> {
public:
    TypeAndAnswer(int answer, ShareCredentials typed, bool remember, kvCredentialsDlg** seen)
        : m_answer(answer), m_typed(std::move(typed)), m_remember(remember), m_seen(seen) {}

protected:
    int OnInvoked(kvCredentialsDlg* dialog) const override {
        m_shown = {dialog->PromptText().utf8_string(), dialog->FailureText().utf8_string(),
                   dialog->UserField()->GetValue().utf8_string()};
        m_rememberAtStart = dialog->RememberBox()->GetValue();
        dialog->UserField()->ChangeValue(wxString::FromUTF8(m_typed.user));
        dialog->PasswordField()->ChangeValue(wxString::FromUTF8(m_typed.password));
        dialog->DomainField()->ChangeValue(wxString::FromUTF8(m_typed.domain));
        dialog->RememberBox()->SetValue(m_remember);
        *m_seen = dialog;
        return m_answer;
    }

public:
    mutable std::vector<std::string> m_shown;
    mutable bool m_rememberAtStart = false;

private:
    int m_answer;
    ShareCredentials m_typed;
    bool m_remember;
    kvCredentialsDlg** m_seen;
};

TEST(CredentialsPrompt, ReturnsWhatTheUserTypedAndShowsTheShareAndTheRefusal) {
    CDialogCredentialsPrompt prompt(nullptr);
    ShareCredentials credentials{"anna", "", ""};
    bool remember = false;
    kvCredentialsDlg* seen = nullptr;
    TypeAndAnswer answer(wxID_OK, {"bob", "pässword", "HOME"}, true, &seen);
    bool accepted = false;
    wxTEST_DIALOG(accepted = prompt.AskCredentials("\\\\10.0.0.5\\MyLibrary",
                                                   "The user name or password was not accepted.",
                                                   credentials, remember),
                  answer);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(credentials, (ShareCredentials{"bob", "pässword", "HOME"}));
    EXPECT_TRUE(remember);
    ASSERT_EQ(answer.m_shown.size(), 3u);
    EXPECT_NE(answer.m_shown[0].find("\\\\10.0.0.5\\MyLibrary"), std::string::npos);
    EXPECT_EQ(answer.m_shown[1], "The user name or password was not accepted.");
    EXPECT_EQ(answer.m_shown[2], "anna") << "the last user name is offered again";
    EXPECT_TRUE(answer.m_rememberAtStart) << "\"Remember\" starts checked";
}

TEST(CredentialsPrompt, UncheckingRememberIsPassedOn) {
    CDialogCredentialsPrompt prompt(nullptr);
    ShareCredentials credentials;
    bool remember = true;
    kvCredentialsDlg* seen = nullptr;
    bool accepted = false;
    wxTEST_DIALOG(accepted = prompt.AskCredentials("\\\\h\\s", "", credentials, remember),
                  TypeAndAnswer(wxID_OK, {"bob", "pw", ""}, false, &seen));
    EXPECT_TRUE(accepted);
    EXPECT_FALSE(remember);
}

TEST(CredentialsPrompt, CancelLeavesTheCredentialsAlone) {
    CDialogCredentialsPrompt prompt(nullptr);
    ShareCredentials credentials{"anna", "", ""};
    bool remember = false;
    kvCredentialsDlg* seen = nullptr;
    bool accepted = true;
    wxTEST_DIALOG(accepted = prompt.AskCredentials("\\\\h\\s", "", credentials, remember),
                  TypeAndAnswer(wxID_CANCEL, {"eve", "x", ""}, true, &seen));
    EXPECT_FALSE(accepted);
    EXPECT_EQ(credentials.user, "anna");
    EXPECT_FALSE(remember);
}

class ReadMessage : public wxExpectModalBase<wxMessageDialog, ReadMessage> {
public:
    explicit ReadMessage(std::string* message, long* style) : m_message(message), m_style(style) {}

protected:
    int OnInvoked(wxMessageDialog* dialog) const override {
        *m_message = dialog->GetMessage().utf8_string();
        *m_style = dialog->GetMessageDialogStyle();
        return wxID_OK;
    }

private:
    std::string* m_message;
    long* m_style;
};

TEST(CredentialsPrompt, FailuresAreShownInAnErrorBox) {
    CDialogCredentialsPrompt prompt(nullptr);
    std::string message;
    long style = 0;
    wxTEST_DIALOG(prompt.ShowFailure("The share \\\\h\\s cannot be used: gone."),
                  ReadMessage(&message, &style));
    EXPECT_EQ(message, "The share \\\\h\\s cannot be used: gone.");
    EXPECT_TRUE(style & wxICON_ERROR);
}

} // namespace
