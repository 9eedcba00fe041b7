#include "wizard/sheet/WelcomePage_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/WxText_ui.h"
#include "wizard/sheet/ChooseVelmoraPage_ui.h"
#include "wizard/sheet/DestinationEntries.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"
#include "wizard/transfer/TransferTexts.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <cstdio>

namespace {

constexpr unsigned kNoPicturesText =
    118; // "There are currently no pictures in the attached camera."
constexpr unsigned kUnreachableText = 201; // "%d folder(s) or picture(s) could not be read..."

} // namespace

CWelcomePage::CWelcomePage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kWelcomePage, true, 0, 0, "IDB_WELCOME"}) {
    Create(book);
    wxSizer* column = BeginFullSizeLayout(WizardDialogText(kWelcomePage, 1016));
    m_source = new CPageText(this, kSourceLabelId, wxString(), kFullPageTextWidth);
    column->Add(m_source, 0, wxBOTTOM, 12);
    m_unreachable = new CPageText(this, wxID_ANY, wxString(), kFullPageTextWidth);
    column->Add(m_unreachable, 0, wxBOTTOM, 12);
    // The line and its box keep their distance to the text below together, whichever shows.
    auto* already = new wxBoxSizer(wxVERTICAL);
    m_alreadyCopied = new CPageText(this, wxID_ANY, wxString(), kFullPageTextWidth);
    already->Add(m_alreadyCopied, 0, wxBOTTOM, 4);
    m_skip = new wxCheckBox(this, wxID_ANY, WizardText(kSkipThemText));
    already->Add(m_skip, 0);
    column->Add(already, 0, wxBOTTOM, 12);
    column->Add(new CPageText(this, 1008, WizardDialogText(kWelcomePage, 1008), kFullPageTextWidth),
                0, wxBOTTOM, 16);
    m_useSaved = new wxCheckBox(this, kUseSavedId, WizardDialogText(kWelcomePage, kUseSavedId));
    column->Add(m_useSaved, 0, wxBOTTOM, 16);
    m_relayLine = new CPageText(this, kRelayOfferId, wxString(), kFullPageTextWidth);
    m_relayLine->Hide();
    column->Add(m_relayLine, 0, wxBOTTOM, 12);
    column->AddStretchSpacer();
    m_bottom = new CPageText(this, 118, WizardDialogText(kWelcomePage, 118), kFullPageTextWidth);
    column->Add(m_bottom, 0);
    m_useSaved->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
        Sheet().settings.usingSaved = event.IsChecked();
        // The offer belongs to the saved settings' way.
        m_relayLine->Show(m_relayOffer.has_value() && event.IsChecked());
        Layout();
    });
    m_skip->Bind(wxEVT_CHECKBOX,
                 [this](wxCommandEvent& event) { Sheet().skipAlreadyCopied = event.IsChecked(); });
    FillTexts();
}

void CWelcomePage::FillTexts() {
    const CTransferProperties& source = Sheet().properties;
    const std::string line = Sheet().cameraMode
                                 ? source.sourceDisplayName
                                 : source.sourceDisplayName + " (" + source.driveText + ")";
    m_source->SetText(ToWxText(line));
    const unsigned unreachable = Sheet().unreachablePictures;
    m_unreachable->SetText(
        unreachable > 0 ? ToWxText(FormatBrandedText(kUnreachableText, unreachable)) : wxString());
    std::string notes;
    if (Sheet().copyRecordReplaced) {
        notes = LoadBrandedText(kRecordReplacedText);
    }
    m_unreachable->Show(unreachable > 0);
    const std::string already = AlreadyCopiedLine(Sheet().alreadyCopied);
    notes.append(notes.empty() || already.empty() ? "" : "\n").append(already);
    m_alreadyCopied->SetText(ToWxText(notes));
    m_alreadyCopied->Show(!notes.empty());
    // Every picture there: Next shows where they are, and there is nothing to choose.
    m_skip->Show(Sheet().alreadyCopied.Any() && !Sheet().alreadyCopied.All());
    m_skip->SetValue(Sheet().skipAlreadyCopied);
    if (Sheet().noPictures) {
        m_bottom->SetText(WizardText(kNoPicturesText));
    }
}

void CWelcomePage::OnSetActive() {
    FillTexts();
    Sheet().ShowBackButton(ShowsBackButton(kWelcomePage));
    const WizardSettings& settings = Sheet().settings;
    m_useSaved->Enable(settings.saveSettings);
    m_useSaved->SetValue(settings.saveSettings && settings.usingSaved);
    Sheet().SetWizardButtons(WelcomeButtons(Sheet().noPictures));
}

int CWelcomePage::OnWizardNext() {
    if (!Sheet().noPictures && Sheet().SkipsEverything()) {
        return Sheet().FinishAsAlreadyCopied();
    }
    switch (WelcomeNext(Sheet().settings, Sheet().noPictures)) {
    case WelcomeNextAction::Stay:
        return kStayOnPage;
    case WelcomeNextAction::DevicePage:
        return kDevicePage;
    case WelcomeNextAction::QuickPath:
        return m_relayOffer ? TakeRelayOffer() : RunQuickPath();
    }
    return kStayOnPage;
}

int CWelcomePage::TakeRelayOffer() {
    CSnapferryPropSheet& sheet = Sheet();
    const DeviceRecord relay = *m_relayOffer;
    std::unique_ptr<CAbstractFileTransfer> transfer = sheet.MakeTransfer(relay);
    if (!transfer) {
        // The device page offers the way through the relay again, beside what the search found.
        return kDevicePage;
    }
    UseSavedChoices(m_relayDestination);
    sheet.TakeServer(relay, std::move(transfer));
    sheet.SaveSettings();
    return kCopyingPage;
}

void CWelcomePage::UseSavedChoices(const std::string& destination) {
    CSnapferryPropSheet& sheet = Sheet();
    sheet.properties.userName = kDefaultUserName;
    sheet.properties.location = destination;
    sheet.properties.groupName = sheet.settings.groupName;
    sheet.properties.deleteAfterCopy =
        sheet.settings.deleteAfterCopy && !sheet.properties.cannotDelete;
    sheet.properties.copyVideos = sheet.settings.copyVideos;
}

int CWelcomePage::RunQuickPath() {
    CSnapferryPropSheet& sheet = Sheet();
    CWizardServerSearch search(&sheet, sheet.settings.serverName);
    CQuickPath quickPath(search, [&sheet](const DeviceRecord& server, uint8_t /*library*/) {
        return sheet.MakeTransfer(server);
    });
    QuickPathResult result = quickPath.Run(sheet.settings, TodayText());
    std::printf("Saved settings: %s\n",
                result.outcome == QuickPathOutcome::Ready           ? "server found, copying"
                : result.outcome == QuickPathOutcome::NoTransfer    ? "server found, no access"
                : result.outcome == QuickPathOutcome::ServerMissing ? "saved server not found"
                                                                    : "saved names unusable");
    switch (result.outcome) {
    case QuickPathOutcome::Ready:
        UseSavedChoices(result.destination);
        sheet.TakeServer(result.server, std::move(result.transfer));
        // The choices are saved whenever copying is about to start, the welcome box's with them.
        sheet.SaveSettings();
        break;
    case QuickPathOutcome::ServerMissing:
        sheet.savedServerMissing = true;
        if (auto* device = dynamic_cast<CChooseVelmoraPage*>(sheet.PageByTemplate(kDevicePage))) {
            device->SetFoundBefore(std::move(result.found));
        }
        if (const std::optional<DeviceRecord> relay = sheet.RelayServer()) {
            // Away from home: the way through the relay is offered here, in one line, and the
            // user's next Next takes it.
            m_relayOffer = relay;
            m_relayDestination = result.destination;
            m_relayLine->SetText(
                ToWxText(FormatBrandedText(transfer_text::kRelayOffer, relay->hostName)));
            m_relayLine->Show();
            Layout();
            sheet.GrowToFit(this);
            return kStayOnPage;
        }
        break;
    case QuickPathOutcome::NoTransfer:
    case QuickPathOutcome::UnusableSettings:
        break;
    }
    return result.nextPage;
}
