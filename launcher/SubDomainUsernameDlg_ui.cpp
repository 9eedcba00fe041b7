#include "launcher/SubDomainUsernameDlg_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/WxText_ui.h"
#include "launcher/LauncherTexts.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

wxString BrandedText(unsigned id) {
    return ToWxText(LoadBrandedText(id));
}

} // namespace

wxBEGIN_EVENT_TABLE(kvSubDomainUsernameDlg,
                    wxDialog) EVT_BUTTON(wxID_OK, kvSubDomainUsernameDlg::OnOk) wxEND_EVENT_TABLE()

    kvSubDomainUsernameDlg::kvSubDomainUsernameDlg(wxWindow* parent, wxWindowID id,
                                                   const wxString& title, const wxPoint& position,
                                                   const wxSize& size, long style) {
    SetExtraStyle(GetExtraStyle() | wxWS_EX_BLOCK_EVENTS);
    Create(parent, id, title, position, size, style);
    SetIcons(LauncherWindowIcons());

    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(this, wxID_ANY, BrandedText(launcher_text::kNamesPrompt)), 0,
                wxALL, 5);
    column->Add(5, 0, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);
    column->Add(new wxStaticText(this, wxID_ANY, BrandedText(launcher_text::kNameLabel)), 0, wxALL,
                5);
    m_nameField = new wxTextCtrl(this, kNameFieldId);
    column->Add(m_nameField, 0, wxEXPAND | wxALL, 5);
    column->Add(new wxStaticText(this, wxID_ANY, BrandedText(launcher_text::kUsernameLabel)), 0,
                wxALL, 5);
    m_usernameField = new wxTextCtrl(this, kUsernameFieldId);
    column->Add(m_usernameField, 0, wxEXPAND | wxALL, 5);
    column->Add(5, 5, 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);

    auto* buttons = new wxStdDialogButtonSizer();
    auto* okButton = new wxButton(this, wxID_OK, BrandedText(launcher_text::kOkButton));
    okButton->SetDefault(); // Return in a field confirms, as OK does
    buttons->AddButton(okButton);
    buttons->AddButton(new wxButton(this, wxID_CANCEL, BrandedText(launcher_text::kCancelButton)));
    buttons->Realize();
    column->Add(buttons, 0, wxEXPAND | wxALL, 2);
    column->Add(2, 2, 0, 0, 0);

    SetSizer(column);
    column->SetSizeHints(this);
    Centre();
}

void kvSubDomainUsernameDlg::OnOk(wxCommandEvent& event) {
    // Only emptiness is checked: a text of blanks passes.
    if (m_nameField->GetValue().empty()) {
        wxMessageBox(kNameMissingMessage, kNamesCheckCaption, wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    if (m_usernameField->GetValue().empty()) {
        wxMessageBox(kUsernameMissingMessage, kNamesCheckCaption, wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    event.Skip(); // the dialog's own OK handling ends the modal run with wxID_OK
}
