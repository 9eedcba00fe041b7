// Asks for the server's name on the relay domain and the user's account name on that server.
// The dialog only collects and checks the two texts; the caller stores and uses them.
#pragma once

#include <wx/dialog.h>
#include <wx/textctrl.h>

class kvSubDomainUsernameDlg : public wxDialog {
public:
    static constexpr wxWindowID kNameFieldId = 10002;
    static constexpr wxWindowID kUsernameFieldId = 10003;
    static constexpr wxWindowID kDialogId = 10000;

    kvSubDomainUsernameDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                           const wxPoint& position = wxDefaultPosition,
                           const wxSize& size = wxDefaultSize,
                           long style = wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
    ~kvSubDomainUsernameDlg() override = default;

    // The caller fills and reads the two fields directly.
    wxTextCtrl* NameField() const { return m_nameField; }
    wxTextCtrl* UsernameField() const { return m_usernameField; }

private:
    void OnOk(wxCommandEvent& event);

    wxTextCtrl* m_nameField = nullptr;
    wxTextCtrl* m_usernameField = nullptr;

    wxDECLARE_EVENT_TABLE();
};

// The fixed check messages (not branded: the same in every product).
inline constexpr const char* kNamesCheckCaption = "Tandro";
inline constexpr const char* kNameMissingMessage = "Please type your Velmora Name";
inline constexpr const char* kUsernameMissingMessage = "Please type your Velmora Username";
