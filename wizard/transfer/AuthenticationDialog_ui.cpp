#include "wizard/transfer/AuthenticationDialog_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/WxText_ui.h"
#include "wizard/transfer/TransferTexts.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

// A branded text, or the English one when the resources hold none.
wxString Text(unsigned id, const char* english) {
    std::string text = LoadBrandedText(id);
    return ToWxText(text.empty() ? english : text);
}

// A branded text formatted with one text, or the English words around it.
wxString TextWith(unsigned id, const char* englishBefore, const std::string& argument,
                  const char* englishAfter = "") {
    std::string text = FormatBrandedText(id, argument);
    if (text.empty()) {
        text = englishBefore + argument + englishAfter;
    }
    return ToWxText(text);
}

} // namespace

kvCredentialsDlg::kvCredentialsDlg(wxWindow* owner, const std::string& share,
                                   const std::string& failure, const ShareCredentials& initial,
                                   Place place)
    : wxDialog(owner, wxID_ANY,
               place == Place::WebFolder
                   ? Text(transfer_text::kWebFolderTitle, "Password for your web folder")
                   : TextWith(transfer_text::kCredentialsTitle, "Connect to ", share)) {
    using namespace transfer_text;
    m_promptText =
        place == Place::WebFolder
            ? TextWith(kWebFolderPrompt,
                       "Your server is not on this network, so the pictures go to your web "
                       "folder (",
                       share,
                       ") over the Internet, through the relay. Type the password of your "
                       "account on the server; it is sent over an encrypted connection only.")
            : TextWith(kCredentialsPrompt, "Type your user name and password for ", share, ".");
    m_failureText = ToWxText(failure);

    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* prompt = new wxStaticText(this, wxID_ANY, m_promptText);
    prompt->Wrap(420);
    column->Add(prompt, 0, wxALL, 8);
    if (!failure.empty()) {
        auto* refused = new wxStaticText(this, wxID_ANY, m_failureText);
        refused->Wrap(420);
        refused->SetForegroundColour(*wxRED);
        column->Add(refused, 0, wxLEFT | wxRIGHT | wxBOTTOM, 8);
    }

    auto* fields = new wxFlexGridSizer(2, 6, 8);
    fields->AddGrowableCol(1);
    m_user = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(initial.user));
    m_password = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(initial.password),
                                wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
    m_domain = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(initial.domain));
    const std::pair<wxString, wxTextCtrl*> rows[] = {
        {Text(kUserLabel, "&User name:"), m_user},
        {Text(kPasswordLabel, "&Password:"), m_password},
        {Text(kDomainLabel, "&Domain (optional):"), m_domain},
    };
    for (const auto& [label, field] : rows) {
        if (field == m_domain && place == Place::WebFolder) {
            field->Hide();
            continue;
        }
        fields->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        field->SetMinSize(wxSize(260, -1));
        fields->Add(field, 1, wxEXPAND);
    }
    column->Add(fields, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

    m_remember = new wxCheckBox(this, wxID_ANY, Text(kRememberLabel, "&Remember my credentials"));
    // Most people copy to the same server again; asking every time is the exception.
    m_remember->SetValue(true);
    column->Add(m_remember, 0, wxALL, 8);

    auto* buttons = new wxStdDialogButtonSizer();
    auto* ok = new wxButton(this, wxID_OK, Text(kOkButton, "OK"));
    ok->SetDefault();
    buttons->AddButton(ok);
    buttons->AddButton(new wxButton(this, wxID_CANCEL, Text(kCancelButton, "Cancel")));
    buttons->Realize();
    column->Add(buttons, 0, wxEXPAND | wxALL, 8);

    SetSizerAndFit(column);
    (initial.user.empty() ? m_user : m_password)->SetFocus();
    CentreOnParent();
}

ShareCredentials kvCredentialsDlg::Credentials() const {
    return {m_user->GetValue().utf8_string(), m_password->GetValue().utf8_string(),
            m_domain->GetValue().utf8_string()};
}

bool CDialogCredentialsPrompt::AskCredentials(const std::string& share, const std::string& failure,
                                              ShareCredentials& credentials, bool& remember) {
    kvCredentialsDlg dialog(m_owner, share, failure, credentials);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    credentials = dialog.Credentials();
    remember = dialog.Remember();
    return true;
}

bool CDialogCredentialsPrompt::AskWebFolderPassword(const std::string& place,
                                                    const std::string& failure,
                                                    ShareCredentials& credentials, bool& remember) {
    kvCredentialsDlg dialog(m_owner, place, failure, credentials,
                            kvCredentialsDlg::Place::WebFolder);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    credentials = dialog.Credentials();
    credentials.domain.clear();
    remember = dialog.Remember();
    return true;
}

void CDialogCredentialsPrompt::ShowFailure(const std::string& message) {
    wxMessageBox(ToWxText(message), Text(transfer_text::kCaption, "Pictures Wizard"),
                 wxOK | wxICON_ERROR, m_owner);
}
