#include "launcher/LauncherUi_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/WxText_ui.h"
#include "launcher/LauncherTexts.h"
#include "launcher/SubDomainUsernameDlg_ui.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

namespace {

wxString Caption() {
    return ToWxText(LoadBrandedText(launcher_text::kCaption));
}

} // namespace

void CWxLauncherUi::ShowUsage(const std::string& programPath) {
    wxMessageBox(ToWxText(FormatBrandedText(launcher_text::kUsage, programPath, programPath)),
                 Caption(), wxOK | wxICON_QUESTION, nullptr);
}

void CWxLauncherUi::ShowMessage(const LauncherMessage& message) {
    const long icon = message.icon == MessageIcon::Question ? wxICON_QUESTION : wxICON_INFORMATION;
    wxMessageBox(ToWxText(FormatBrandedText(message.textId, message.number)), Caption(),
                 wxOK | icon, nullptr);
}

NamesAnswer CWxLauncherUi::AskNames(const std::string& serverName, const std::string& userName,
                                    bool serverNameEditable) {
    kvSubDomainUsernameDlg dialog(nullptr, kvSubDomainUsernameDlg::kDialogId, Caption(),
                                  wxDefaultPosition, wxSize(400, 300));
    dialog.NameField()->ChangeValue(ToWxText(serverName));
    dialog.NameField()->SetEditable(serverNameEditable);
    dialog.UsernameField()->ChangeValue(ToWxText(userName));
    NamesAnswer answer;
    answer.confirmed = dialog.ShowModal() == wxID_OK;
    if (answer.confirmed) {
        answer.serverName = dialog.NameField()->GetValue().utf8_string();
        answer.userName = dialog.UsernameField()->GetValue().utf8_string();
    }
    return answer;
}

void CWxLauncherUi::BeginBusy() {
    wxBeginBusyCursor();
    // Let the cursor show and a closed dialog disappear before the launcher blocks.
    wxSafeYield(nullptr, true);
}

void CWxLauncherUi::EndBusy() {
    wxEndBusyCursor();
}
