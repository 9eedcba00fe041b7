// The credentials prompt of the share authentication: our own modal dialog, owned by the
// wizard's window, and the front end the authenticator asks through.
#pragma once

#include "wizard/transfer/Authenticator.h"

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>

#include <string>

class kvCredentialsDlg : public wxDialog {
public:
    enum class Place {
        Share,     // a library share: user name, password and domain
        WebFolder, // the user's web folder through the relay: why it asks, no domain
    };

    // `failure` (may be empty) says why the last attempt was refused; the fields start with
    // `initial`.
    kvCredentialsDlg(wxWindow* owner, const std::string& share, const std::string& failure,
                     const ShareCredentials& initial, Place place = Place::Share);

    ShareCredentials Credentials() const;
    bool Remember() const { return m_remember->GetValue(); }

    wxTextCtrl* UserField() const { return m_user; }
    wxTextCtrl* PasswordField() const { return m_password; }
    wxTextCtrl* DomainField() const { return m_domain; }
    wxCheckBox* RememberBox() const { return m_remember; }
    // The prompt line and, when there is one, the failure line, as shown.
    const wxString& PromptText() const { return m_promptText; }
    const wxString& FailureText() const { return m_failureText; }

private:
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxTextCtrl* m_domain = nullptr;
    wxCheckBox* m_remember = nullptr;
    wxString m_promptText;
    wxString m_failureText;
};

class CDialogCredentialsPrompt : public CAbstractCredentialsPrompt {
public:
    // `owner` is the wizard's window; null centres the dialogs on the screen.
    explicit CDialogCredentialsPrompt(wxWindow* owner) : m_owner(owner) {}

    bool AskCredentials(const std::string& share, const std::string& failure,
                        ShareCredentials& credentials, bool& remember) override;
    bool AskWebFolderPassword(const std::string& place, const std::string& failure,
                              ShareCredentials& credentials, bool& remember) override;
    void ShowFailure(const std::string& message) override;

private:
    wxWindow* m_owner;
};
