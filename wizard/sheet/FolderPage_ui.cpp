#include "wizard/sheet/FolderPage_ui.h"

#include "common/branding/Branding.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/WxText_ui.h"
#include "wizard/sheet/DestinationEntries.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferTexts.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace {

constexpr unsigned kMoreText = 133; // "Click here for more choices..."
// The texts in the naming box, beside its numbers and within its frame.
constexpr int kBoxTextWidth = kPageTextWidth - 60;
// One line under the destination list when the library cannot be listed.
constexpr unsigned kListingFailed = 180;  // "The folders of %s cannot be listed: %s."
constexpr unsigned kCopyVideosText = 270; // "Copy videos too"

} // namespace

kvSelectFolderDlg::kvSelectFolderDlg(wxWindow* parent, const std::vector<std::string>& texts)
    : wxDialog(parent, wxID_ANY, WizardDialogText(kDialogId, kDialogCaption)) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* prompt = new wxStaticText(this, wxID_ANY, WizardDialogText(kDialogId, 1100));
    prompt->Wrap(340);
    column->Add(prompt, 0, wxALL, 12);
    column->Add(new wxStaticText(this, wxID_ANY, WizardDialogText(kDialogId, 1101)), 0,
                wxLEFT | wxRIGHT, 12);
    wxArrayString items;
    for (const std::string& text : texts) {
        items.Add(ToWxText(text));
    }
    m_list = new wxListBox(this, kListId, wxDefaultPosition, wxSize(340, 200), items, wxLB_SINGLE);
    if (!items.empty()) {
        m_list->SetSelection(0);
    }
    column->Add(m_list, 1, wxEXPAND | wxALL, 12);
    wxStdDialogButtonSizer* buttons = CreateStdDialogButtonSizer(wxOK | wxCANCEL);
    column->Add(buttons, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(column);
    m_list->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EndModal(wxID_OK); });
    CentreOnParent();
}

int kvSelectFolderDlg::ChosenIndex() const {
    return m_list->GetSelection();
}

ComboBoxMore::ComboBoxMore(wxWindow* parent, wxWindowID id)
    : wxChoice(parent, id, wxDefaultPosition, wxSize(320, -1)) {}

void ComboBoxMore::SetItems(std::vector<DestinationEntry> entries) {
    m_model.SetItems(std::move(entries));
    ShowModel();
}

void ComboBoxMore::SelectEntry(int index) {
    m_model.Select(index);
    ShowModel();
}

void ComboBoxMore::ShowModel() {
    Freeze();
    Clear();
    for (const DestinationEntry& entry : m_model.ShownList()) {
        Append(ToWxText(entry.text));
    }
    if (m_model.Selection() >= 0) {
        SetSelection(m_model.Selection());
    }
    Thaw();
}

CComboBoxMoreModel::Resolved ComboBoxMore::ResolveSelection() {
    const CComboBoxMoreModel::Resolved resolved =
        m_model.ResolveSelection(GetSelection(), [this](const std::vector<std::string>& texts) {
            std::optional<size_t> chosen;
            kvSelectFolderDlg dialog(wxGetTopLevelParent(this), texts);
            if (dialog.ShowModal() == wxID_OK && dialog.ChosenIndex() >= 0) {
                chosen = size_t(dialog.ChosenIndex());
            }
            return chosen;
        });
    ShowModel();
    return resolved;
}

CFolderPage::CFolderPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kFolderPage, false, 125, 126, ""}) {
    Create(book);
    auto* column = new wxBoxSizer(wxVERTICAL);

    auto* where = new wxStaticBoxSizer(wxVERTICAL, this, WizardDialogText(kFolderPage, 1100));
    m_family = new wxRadioButton(where->GetStaticBox(), kFamilyId,
                                 WizardDialogText(kFolderPage, kFamilyId), wxDefaultPosition,
                                 wxDefaultSize, wxRB_GROUP);
    m_personal = new wxRadioButton(where->GetStaticBox(), kPersonalId,
                                   WizardDialogText(kFolderPage, kPersonalId));
    // Copies through the relay go to the user's web folder: it takes the libraries' place.
    m_webFolder = new wxRadioButton(where->GetStaticBox(), kWebFolderId,
                                    WizardText(transfer_text::kWebFolderChoice), wxDefaultPosition,
                                    wxDefaultSize, wxRB_SINGLE);
    m_webFolder->SetValue(true);
    m_webFolder->Hide();
    where->Add(m_family, 0, wxALL, 4);
    where->Add(m_personal, 0, wxALL, 4);
    where->Add(m_webFolder, 0, wxALL, 4);
    column->Add(where, 0, wxEXPAND | wxALL, 10);

    auto* naming = new wxStaticBoxSizer(wxVERTICAL, this, WizardDialogText(kFolderPage, 1101));
    wxWindow* box = naming->GetStaticBox();
    auto* grid = new wxFlexGridSizer(2, 4, 6);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(box, wxID_ANY, WizardDialogText(kFolderPage, 1102)));
    grid->Add(new CPageText(box, wxID_ANY, WizardDialogText(kFolderPage, 1103), kBoxTextWidth));
    grid->AddSpacer(0);
    m_groupName = new wxComboBox(box, kGroupNameId);
    grid->Add(m_groupName, 0, wxEXPAND);
    grid->Add(new wxStaticText(box, wxID_ANY, WizardDialogText(kFolderPage, 1104)));
    grid->Add(new CPageText(box, wxID_ANY, WizardDialogText(kFolderPage, 1105), kBoxTextWidth));
    grid->AddSpacer(0);
    m_destinations = new ComboBoxMore(box, kDestinationId);
    m_destinations->SetMoreText(LoadBrandedText(kMoreText));
    grid->Add(m_destinations, 0, wxEXPAND);
    grid->AddSpacer(0);
    m_status = new CPageText(box, wxID_ANY, wxString(), kBoxTextWidth);
    grid->Add(m_status, 0, wxEXPAND);
    naming->Add(grid, 0, wxEXPAND | wxALL, 4);
    column->Add(naming, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);

    m_videos = new wxCheckBox(this, kVideosId, ToWxText(LoadBrandedText(kCopyVideosText)));
    column->Add(m_videos, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_alreadyCopied = new CPageText(this, wxID_ANY, wxString(), kBoxTextWidth);
    column->Add(m_alreadyCopied, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_skip = new wxCheckBox(this, wxID_ANY, WizardText(kSkipThemText));
    column->Add(m_skip, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_delete = new wxCheckBox(this, kDeleteId, WizardDialogText(kFolderPage, kDeleteId));
    column->Add(m_delete, 0, wxALL, 10);
    m_always = new wxCheckBox(this, kAlwaysId, WizardDialogText(kFolderPage, kAlwaysId));
    column->Add(m_always, 0, wxLEFT | wxRIGHT | wxBOTTOM, 10);
    SetSizer(column);

    auto onLibrary = [this](wxCommandEvent&) { SwitchLibrary(m_personal->GetValue()); };
    m_family->Bind(wxEVT_RADIOBUTTON, onLibrary);
    m_personal->Bind(wxEVT_RADIOBUTTON, onLibrary);
    m_groupName->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        Sheet().settings.groupName = m_groupName->GetValue().utf8_string();
        RebuildEntries();
    });
    m_destinations->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        Sheet().settings.groupSelection = m_destinations->ResolveSelection().type;
    });
    m_always->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
        Sheet().settings.saveSettings = event.IsChecked();
    });
    m_skip->Bind(wxEVT_CHECKBOX,
                 [this](wxCommandEvent& event) { Sheet().skipAlreadyCopied = event.IsChecked(); });
}

void CFolderPage::ShowAlreadyCopied() {
    const AlreadyCopied& check = Sheet().alreadyCopied;
    m_alreadyCopied->SetText(ToWxText(AlreadyCopiedLine(check)));
    m_alreadyCopied->Show(check.Any());
    m_skip->Show(check.Any() && !check.All());
    m_skip->SetValue(Sheet().skipAlreadyCopied);
    Layout();
}

CFolderPage::~CFolderPage() {
    WaitForListing();
}

void CFolderPage::WaitForListing() {
    if (m_lister.joinable()) {
        m_lister.join();
    }
}

void CFolderPage::OnSetActive() {
    Sheet().ShowBackButton(true);
    Sheet().SetWizardButtons(FixedPageButtons(kFolderPage));
    const WizardSettings& settings = Sheet().settings;
    m_always->SetValue(settings.saveSettings);
    m_videos->SetValue(settings.copyVideos);
    m_delete->Enable(!Sheet().properties.cannotDelete);
    m_delete->SetValue(settings.deleteAfterCopy && !Sheet().properties.cannotDelete);
    ShowAlreadyCopied();
    const bool webFolder = Sheet().CopiesToWebFolder();
    m_family->Show(!webFolder);
    m_personal->Show(!webFolder);
    m_webFolder->Show(webFolder);
    // Another server chosen since the lists were filled (the user went back) has other folders.
    const std::string place = Sheet().DestinationShareDisplay();
    if (!m_initialised || place != m_filledFor) {
        m_initialised = true;
        (settings.usePersonalLibrary ? m_personal : m_family)->SetValue(true);
        FillLists();
    }
    Layout();
}

void CFolderPage::FillLists() {
    WizardSettings& settings = Sheet().settings;
    settings.groupName = EffectiveGroupName(settings.groupName);
    m_groupName->ChangeValue(ToWxText(settings.groupName));
    m_folders.clear();
    m_destinations->SetItems({});
    m_status->SetText(wxString());

    // A listing that still runs is of the other library: its answer is dropped when it comes.
    WaitForListing();
    const unsigned generation = ++m_generation;
    m_filledFor = Sheet().DestinationShareDisplay();
    const std::string share = Sheet().DestinationShare();
    auto lister = Sheet().folderLister;
    if (!lister) {
        // Made here, used on the lister's thread only.
        std::shared_ptr<CAbstractShareSession> session = Sheet().MakeDestinationSession();
        lister = [session](const std::string& library, std::vector<std::string>& names) {
            return session ? ListSubFolders(*session, library, names)
                           : ShareResult{ShareStatus::Unreachable, 0};
        };
    }
    m_listing = true;
    wxBeginBusyCursor();
    // Listing is network work: the window keeps painting while it runs.
    m_lister = std::thread([this, generation, share, lister] {
        Listing listing;
        listing.generation = generation;
        listing.result = lister(share, listing.folders);
        {
            std::lock_guard lock(m_listedMutex);
            m_listed = std::move(listing);
        }
        CallAfter([this] { ApplyListing(); });
    });
}

void CFolderPage::ApplyListing() {
    std::optional<Listing> listing;
    {
        std::lock_guard lock(m_listedMutex);
        listing.swap(m_listed);
    }
    if (!listing) {
        // Taken already, by Next waiting for it.
        return;
    }
    wxEndBusyCursor();
    if (listing->generation != m_generation) {
        return;
    }
    m_listing = false;
    m_folders = std::move(listing->folders);
    const ShareResult result = listing->result;
    if (!result.ok()) {
        const std::string share = Sheet().DestinationShareDisplay();
        m_status->SetText(
            ToWxText(FormatBrandedText(kListingFailed, share, ShareReasonText(result))));
    }
    WizardSettings& settings = Sheet().settings;
    m_destinations->SetItems(
        FillDestinationEntries(settings, m_folders, TodayText(), Sheet().CopiesToWebFolder()));
    const int selection = settings.groupSelection < int(CComboBoxMoreModel::kShownLimit)
                              ? settings.groupSelection
                              : 0;
    m_destinations->SelectEntry(selection);
    Layout();
}

void CFolderPage::RebuildEntries() {
    const int selection = m_destinations->Model().Selection();
    m_destinations->SetItems(FillDestinationEntries(Sheet().settings, m_folders, TodayText(),
                                                    Sheet().CopiesToWebFolder()));
    m_destinations->SelectEntry(selection);
}

void CFolderPage::SwitchLibrary(bool personal) {
    WizardSettings& settings = Sheet().settings;
    if (personal == settings.usePersonalLibrary) {
        return;
    }
    // The other library may want other credentials: it is opened as the device page opened the
    // first, and the choice goes back when it cannot be.
    settings.usePersonalLibrary = personal;
    std::unique_ptr<CAbstractFileTransfer> transfer =
        Sheet().hasServer ? Sheet().MakeTransfer(Sheet().server) : nullptr;
    if (!transfer) {
        settings.usePersonalLibrary = !personal;
        (personal ? m_family : m_personal)->SetValue(true);
        return;
    }
    Sheet().TakeServer(Sheet().server, std::move(transfer));
    ShowAlreadyCopied();
    FillLists();
}

bool CFolderPage::RefuseFileInTheWay(const std::string& destination) {
    const size_t slash = destination.rfind('/');
    if (destination.empty() || slash == std::string::npos) {
        return false;
    }
    CSnapferryPropSheet& sheet = Sheet();
    const std::string parent =
        JoinSharePath(sheet.DestinationShare(), destination.substr(0, slash));
    std::vector<ShareEntry> entries;
    ShareResult listed;
    {
        wxBusyCursor busy;
        if (sheet.entryLister) {
            listed = sheet.entryLister(parent, entries);
        } else {
            std::unique_ptr<CAbstractShareSession> session = sheet.MakeDestinationSession();
            listed =
                session ? session->List(parent, entries) : ShareResult{ShareStatus::Unreachable, 0};
        }
    }
    // A folder that cannot be read now is the run's to report, with its reason.
    const std::string file = listed.ok() ? FileInTheWay(destination, entries) : std::string();
    if (file.empty()) {
        return false;
    }
    wxMessageBox(ToWxText(FileInTheWayMessage(file, destination.substr(0, slash))),
                 WizardText(transfer_text::kCaption), wxOK | wxICON_EXCLAMATION, this);
    return true;
}

int CFolderPage::OnWizardNext() {
    const std::string name = EffectiveGroupName(m_groupName->GetValue().utf8_string());
    if (const GroupNameProblem problem = CheckGroupName(name); problem != GroupNameProblem::None) {
        wxMessageBox(ToWxText(GroupNameMessage(problem)), WizardText(transfer_text::kCaption),
                     wxOK | wxICON_EXCLAMATION, this);
        return FolderNext(false);
    }
    // The destinations must be there before one is taken.
    WaitForListing();
    ApplyListing();
    CSnapferryPropSheet& sheet = Sheet();
    WizardSettings& settings = sheet.settings;
    // A blank box names the group as its entries already do.
    settings.groupName = name;
    const DestinationEntry* entry = m_destinations->Model().SelectedEntry();
    const std::string destination = entry != nullptr ? entry->text : std::string();
    if (RefuseFileInTheWay(destination)) {
        return FolderNext(false);
    }
    settings.deleteAfterCopy = m_delete->IsEnabled() && m_delete->GetValue();
    settings.copyVideos = m_videos->GetValue();
    if (!sheet.CopiesToWebFolder()) {
        settings.usePersonalLibrary = m_personal->GetValue();
    }
    settings.folderName = FolderNameFromDestination(destination);
    if (entry != nullptr) {
        settings.groupSelection = entry->type;
    }
    sheet.properties.deleteAfterCopy = settings.deleteAfterCopy;
    sheet.properties.copyVideos = settings.copyVideos;
    sheet.properties.groupName = name;
    sheet.properties.location = destination;
    sheet.properties.library = settings.usePersonalLibrary ? 1 : 0;
    sheet.SaveSettings();
    if (sheet.SkipsEverything()) {
        return sheet.FinishAsAlreadyCopied();
    }
    return FolderNext(true);
}
