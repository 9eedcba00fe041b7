#include "wizard/sheet/ClosingPages_ui.h"

#include "common/branding/Branding.h"
#include "common/desktop/Opener.h"
#include "common/relay/RelayAddresses.h"
#include "common/relay/WebFolderOpening.h"
#include "common/ui/WxText_ui.h"
#include "wizard/sheet/DestinationAddress.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/RunOutcome.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"
#include "wizard/transfer/TransferTexts.h"

#include <wx/hyperlink.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <cstdio>

namespace {

constexpr unsigned kCaption = 116;
constexpr unsigned kCannotOpen = 135;

CPageText* AddText(wxWindow* parent, wxSizer* column, int id, const wxString& text) {
    auto* label = new CPageText(parent, id, text, kFullPageTextWidth);
    column->Add(label, 0, wxBOTTOM, 14);
    return label;
}

} // namespace

CFinishPage::CFinishPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kFinishPage, true, 0, 0, "IDB_FINISH"}) {
    Create(book);
    wxSizer* column = BeginFullSizeLayout(WizardDialogText(kFinishPage, 1017));
    m_count = AddText(this, column, kCountId, wxString());
    AddText(this, column, 1008, WizardDialogText(kFinishPage, 1008));
    // Underlined dark blue with the hand cursor, as a link looks on this desktop.
    m_link = new wxHyperlinkCtrl(this, kLinkId, wxString(" "), wxString(), wxDefaultPosition,
                                 wxDefaultSize, wxHL_ALIGN_LEFT | wxNO_BORDER);
    m_link->SetNormalColour(wxColour(0, 0, 192));
    m_link->SetVisitedColour(wxColour(0, 0, 192));
    column->Add(m_link, 0, wxBOTTOM, 14);
    column->AddStretchSpacer();
    AddText(this, column, 1019, WizardDialogText(kFinishPage, 1019));
    m_link->Bind(wxEVT_HYPERLINK, &CFinishPage::OnLink, this);
}

void CFinishPage::OnSetActive() {
    CSnapferryPropSheet& sheet = Sheet();
    sheet.ShowBackButton(true);
    sheet.SetWizardButtons(FixedPageButtons(kFinishPage));
    std::string count = RunFinishLines(sheet.copiedCount, sheet.videoCount, sheet.skippedCount,
                                       sheet.firstSkipped, sheet.lastFailure, sheet.cameraMode);
    if (sheet.alreadyThereCount > 0) {
        count.append("\n").append(
            FormatBrandedText(kAlreadyThereCountText, sheet.alreadyThereCount));
    }
    if (const std::string kept = KeptOriginalsLine(sheet.keptOriginals); !kept.empty()) {
        count.append("\n").append(kept);
    }
    m_count->SetText(ToWxText(count));
    const std::string shown =
        sheet.properties.location.empty() ? sheet.DestinationShare() : sheet.properties.location;
    m_link->SetLabel(ToWxText(shown));
    m_link->SetURL(ToWxText(
        sheet.CopiesToWebFolder()
            ? WebFolderDestinationAddress(sheet.properties.webFolderLink, sheet.properties.location)
            : DestinationAddress(sheet.properties.serverAddress, sheet.properties.library != 0,
                                 sheet.properties.location)));
    Layout();
}

bool CFinishPage::OpenDestination() {
    const std::string address = m_link->GetURL().utf8_string();
    OpenOutcome outcome{false, -1};
    if (!address.empty() && Sheet().CopiesToWebFolder()) {
        // As the launcher opens a web folder: in the file manager, else in the browser.
        outcome = IsOpenableWebAddress(address)
                      ? OpenWebFolderLink(Sheet().Opener(), address, Sheet().DestinationShare())
                      : OpenOutcome{false, -1};
    } else if (!address.empty()) {
        outcome = Sheet().Opener().Open(address);
    }
    std::printf("Opening %s: %s (%d)\n", address.c_str(), outcome.opened ? "opened" : "failed",
                outcome.status);
    if (!outcome.opened) {
        wxMessageBox(WizardText(kCannotOpen), WizardText(kCaption), wxOK | wxICON_ERROR, this);
    }
    return outcome.opened;
}

void CFinishPage::OnLink(wxHyperlinkEvent& /*event*/) {
    // Not skipped: the desktop opener, whose failure is reported, not wx's own browser launch.
    OpenDestination();
}

CCancelPage::CCancelPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kCancelPage, true, 0, 0, "IDB_CANCEL"}) {
    Create(book);
    wxSizer* column = BeginFullSizeLayout(WizardDialogText(kCancelPage, 1017));
    m_cancelled = AddText(this, column, 1018, WizardDialogText(kCancelPage, 1018));
    m_failure = AddText(this, column, wxID_ANY, wxString());
    column->AddStretchSpacer();
    AddText(this, column, 1019, WizardDialogText(kCancelPage, 1019));
}

void CCancelPage::OnSetActive() {
    CSnapferryPropSheet& sheet = Sheet();
    sheet.ShowBackButton(true);
    sheet.SetWizardButtons(FixedPageButtons(kCancelPage));
    ShowOutcome();
}

void CCancelPage::ShowOutcome() {
    const CSnapferryPropSheet& sheet = Sheet();
    const TransferFailure& failure = sheet.lastFailure;
    // A run that failed was not cancelled: its line takes the place of the cancel's. A cancelled
    // run whose rollback left copies says so under the cancel's line.
    const bool cancelled = sheet.lastRunCancelled || !failure.Failed();
    const std::string line = cancelled ? CancelledRunLine(failure) : RunFailureLine(failure);
    m_cancelled->Show(cancelled);
    m_failure->SetText(ToWxText(line));
    m_failure->Show(!line.empty());
    Layout();
    if (Sheet().ActivePage() == this) {
        // Redrawn when the run's end came after the page: its line may need more room.
        Sheet().GrowToFit(this);
    }
}

int CCancelPage::OnWizardBack() {
    return CancelBack();
}
