#include "wizard/sheet/WorkPages_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/WxText_ui.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"

#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cstdio>

namespace {

constexpr unsigned kCaption = 116;
constexpr unsigned kStopQuestion = 115;
constexpr unsigned kCopyingCount = 119;    // "Currently copying picture %d of %d:"
constexpr unsigned kPictureProgress = 120; // "Picture progress: %d%% complete"
constexpr unsigned kDeletingCount = 138;   // "Currently deleting picture %d of %d:"
constexpr unsigned kWaitingText = 242;     // "Waiting for the server to answer…"

wxGauge* MakeBar(wxWindow* parent, int id) {
    return new wxGauge(parent, id, 100, wxDefaultPosition, wxSize(-1, 18));
}

} // namespace

CCopyingFilesPage::CCopyingFilesPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kCopyingPage, false, 127, 128, ""}),
      m_callback(std::make_shared<CFileTransferCallback>()) {
    Create(book);
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* fields = new wxFlexGridSizer(2, 6, 8);
    fields->AddGrowableCol(1);
    fields->Add(new wxStaticText(this, wxID_ANY, WizardDialogText(kCopyingPage, 1100)), 0,
                wxALIGN_CENTER_VERTICAL);
    m_location = new wxTextCtrl(this, kLocationId, wxString(), wxDefaultPosition, wxDefaultSize,
                                wxTE_READONLY);
    fields->Add(m_location, 0, wxEXPAND);
    fields->Add(new wxStaticText(this, wxID_ANY, WizardDialogText(kCopyingPage, 1101)), 0,
                wxALIGN_CENTER_VERTICAL);
    m_picture = new wxTextCtrl(this, kPictureId, wxString(), wxDefaultPosition, wxDefaultSize,
                               wxTE_READONLY);
    fields->Add(m_picture, 0, wxEXPAND);
    column->Add(fields, 0, wxEXPAND | wxALL, 12);
    m_pictureProgress = new CPageText(this, kPictureProgressId, wxString(), kPageTextWidth);
    column->Add(m_pictureProgress, 0, wxLEFT | wxRIGHT, 12);
    m_pictureBar = MakeBar(this, kPictureBarId);
    column->Add(m_pictureBar, 0, wxEXPAND | wxALL, 12);
    m_count = new CPageText(this, kCountId, wxString(), kPageTextWidth);
    column->Add(m_count, 0, wxLEFT | wxRIGHT, 12);
    m_runBar = MakeBar(this, kRunBarId);
    column->Add(m_runBar, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 12);
    m_rate = new CPageText(this, wxID_ANY, wxString(), kPageTextWidth);
    column->Add(m_rate, 0, wxEXPAND | wxALL, 12);
    m_waiting = new CPageText(this, kWaitingId, WizardText(kWaitingText), kPageTextWidth);
    m_waiting->SetFont(m_waiting->GetFont().Bold());
    m_waiting->Hide();
    column->Add(m_waiting, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
    column->AddStretchSpacer();
    column->Add(new CPageText(this, wxID_ANY, WizardDialogText(kCopyingPage, 1102), kPageTextWidth),
                0, wxALL, 12);
    SetSizer(column);
}

void CCopyingFilesPage::OnSetActive() {
    CSnapferryPropSheet& sheet = Sheet();
    sheet.ShowBackButton(true);
    sheet.SetWizardButtons(FixedPageButtons(kCopyingPage));
    m_location->ChangeValue(ToWxText(sheet.properties.location));
    m_picture->ChangeValue(wxString());
    m_shown = {};
    m_lastProgress = std::chrono::steady_clock::now();
    m_waiting->Hide();
    ShowFileProgress(0);
    FlushProgress();
    m_count->SetText(wxString());
    m_runBar->SetValue(0);
    m_rate->SetText(wxString());
    m_callback->ResetCancel();
    if (!sheet.StartTransferThreads(m_callback)) {
        // No run could start: the cancel page says so, and Back lets the user try again.
        TransferFailure failure;
        failure.status = ShareStatus::Failed;
        sheet.lastFailure = failure;
        sheet.lastRunCancelled = false;
        sheet.SetActivePage(kCancelPage);
    }
}

bool CCopyingFilesPage::OnQueryCancel() {
    // The worker stops at its next picture while the user decides.
    m_callback->Pause();
    m_asking = true;
    Sheet().BeginStopQuestion();
    const int answer = wxMessageBox(WizardText(kStopQuestion), WizardText(kCaption),
                                    wxYES_NO | wxICON_QUESTION, this);
    m_asking = false;
    m_lastProgress = std::chrono::steady_clock::now();
    std::printf("Stop copying? %s\n", answer == wxYES ? "yes" : "no");
    Sheet().EndStopQuestion(answer == wxYES);
    m_callback->Resume();
    return false;
}

void CCopyingFilesPage::StartRate(int pictureCount, uint64_t totalBytes) {
    m_rateEstimator.Start(CTransferRateEstimator::Clock::now(), pictureCount, totalBytes);
    m_rateShownAt = {};
}

void CCopyingFilesPage::ShowFileProgress(int percent, uint64_t fileTotal, uint64_t fileDone) {
    if (fileTotal > 0) {
        m_rateEstimator.OnFileProgress(CTransferRateEstimator::Clock::now(), fileTotal, fileDone);
    }
    m_lastProgress = std::chrono::steady_clock::now();
    m_shown.filePercent = percent;
    m_shown.fileChanged = true;
}

void CCopyingFilesPage::ShowPicture(int number, int count, const std::string& name, int percent) {
    m_lastProgress = std::chrono::steady_clock::now();
    m_rateEstimator.OnPicture(number, count);
    m_shown.number = number;
    m_shown.count = count;
    m_shown.name = name;
    m_shown.runPercent = percent;
    m_shown.pictureChanged = true;
}

void CCopyingFilesPage::FlushProgress() {
    // Small pictures bring hundreds of records a second; redrawing for each would take the
    // processor from the copy itself. The sheet calls this a few dozen times a second instead.
    if (m_shown.fileChanged) {
        m_shown.fileChanged = false;
        m_pictureProgress->SetText(
            ToWxText(FormatBrandedText(kPictureProgress, m_shown.filePercent)));
        m_pictureBar->SetValue(m_shown.filePercent);
    }
    if (m_shown.pictureChanged) {
        m_shown.pictureChanged = false;
        m_picture->ChangeValue(ToWxText(m_shown.name));
        m_count->SetText(ToWxText(FormatBrandedText(kCopyingCount, m_shown.number, m_shown.count)));
        m_runBar->SetValue(m_shown.runPercent);
    }
    // A server that stops answering holds the copy for a while before it counts as gone; the
    // user learns at once why nothing moves.
    const bool waiting =
        !m_asking && std::chrono::steady_clock::now() - m_lastProgress >= kWaitingAfter;
    if (waiting != m_waiting->IsShown()) {
        m_waiting->Show(waiting);
        Sheet().GrowToFit(this);
        Layout();
    }
    // Twice a second is often enough for a line read by a person.
    const auto now = CTransferRateEstimator::Clock::now();
    if (now - m_rateShownAt >= std::chrono::milliseconds(500)) {
        m_rateShownAt = now;
        const wxString line = ToWxText(RateLine(m_rateEstimator.Current(now)));
        if (line != m_rate->Text()) {
            m_rate->SetText(line);
            // A line in a long language may wrap once more than the page had room for.
            const wxSize needed = GetSizer()->GetMinSize();
            if (needed.x > GetSize().x || needed.y > GetSize().y) {
                Sheet().GrowToFit(this);
            }
        }
    }
}

CDeletingFilesPage::CDeletingFilesPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kDeletingPage, false, 131, 132, ""}) {
    Create(book);
    auto* column = new wxBoxSizer(wxVERTICAL);
    m_count = new CPageText(this, 1006, wxString(), kPageTextWidth);
    column->Add(m_count, 0, wxALL, 12);
    m_bar = MakeBar(this, 1005);
    column->Add(m_bar, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    column->AddStretchSpacer();
    column->Add(
        new CPageText(this, wxID_ANY, WizardDialogText(kDeletingPage, 1100), kPageTextWidth), 0,
        wxALL, 12);
    SetSizer(column);
}

void CDeletingFilesPage::OnSetActive() {
    Sheet().ShowBackButton(true);
    Sheet().SetWizardButtons(FixedPageButtons(kDeletingPage));
    m_count->SetText(wxString());
    m_bar->SetValue(0);
}

bool CDeletingFilesPage::OnQueryCancel() {
    Sheet().StopDeleting();
    return false;
}

void CDeletingFilesPage::ShowPicture(int number, int count, int percent) {
    m_count->SetText(ToWxText(FormatBrandedText(kDeletingCount, number, count)));
    m_bar->SetValue(percent);
}
