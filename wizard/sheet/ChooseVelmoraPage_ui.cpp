#include "wizard/sheet/ChooseVelmoraPage_ui.h"

#include "common/branding/Branding.h"
#include "common/discovery/ServerName.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/WindowStacking_ui.h"
#include "common/ui/WxText_ui.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"
#include "wizard/transfer/TransferTexts.h"

#include <wx/button.h>
#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

namespace {

constexpr unsigned kLocatingTitle = 121; // "Locating %p..."
constexpr unsigned kSearchingText = 112; // "Searching for %p...\n\nPlease wait."
constexpr unsigned kNoServerText = 122;  // "No local devices were found"
// What the page says when the welcome page's search did not find the saved server.
constexpr const char* kNoLocalDevices = "no local devices were found";
constexpr int kIconSize = 32;
enum ListImage { kServerImage = 0, kInternetImage = 1, kNoServerImage = 2 };

} // namespace

CProgressDlg::CProgressDlg(wxWindow* parent, CAbstractProgressCallback* callback)
    : wxDialog(parent, wxID_ANY, WizardText(kLocatingTitle)), m_callback(callback),
      m_parent(parent) {
    auto* column = new wxBoxSizer(wxVERTICAL);
    m_text = new wxStaticText(this, kTextId, WizardText(kSearchingText));
    column->Add(m_text, 0, wxALL, 12);
    m_bar = new wxGauge(this, kBarId, 10, wxDefaultPosition, wxSize(260, -1));
    column->Add(m_bar, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    wxString cancelText = WizardDialogText(kDialogId, wxID_CANCEL);
    auto* cancel = new wxButton(this, wxID_CANCEL, cancelText.empty() ? _("Cancel") : cancelText);
    column->Add(cancel, 0, wxALIGN_RIGHT | wxALL, 12);
    SetSizerAndFit(column);
    SetEscapeId(wxID_CANCEL);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { Destroy(); }, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Destroy(); });
    CentreOnParent();
}

CProgressDlg::~CProgressDlg() {
    if (m_callback != nullptr) {
        m_callback->OnComplete(0);
    }
    RaiseWithoutFocus(m_parent.get());
}

CDetectProgressMeter::~CDetectProgressMeter() {
    if (CProgressDlg* dialog = m_dialog.get()) {
        dialog->SetCallback(nullptr);
        dialog->Destroy();
    }
}

void CDetectProgressMeter::Show(wxWindow* parent) {
    if (m_dialog) {
        m_dialog->SetCallback(nullptr);
        m_dialog->Destroy();
    }
    auto* dialog = new CProgressDlg(parent, m_callback);
    m_dialog = dialog;
    dialog->Show();
    dialog->Update();
}

void CDetectProgressMeter::Close() {
    if (CProgressDlg* dialog = m_dialog.get()) {
        m_dialog = nullptr;
        dialog->Destroy();
    } else if (m_callback != nullptr) {
        m_callback->OnComplete(0);
    }
}

void CDetectProgressMeter::SetText(const std::string& text) {
    if (m_dialog) {
        m_dialog->Text()->SetLabel(ToWxText(text));
    }
}

void CDetectProgressMeter::SetRange(int low, int high) {
    if (m_dialog) {
        // A gauge always starts at 0.
        m_dialog->Bar()->SetRange(std::max(1, high - low));
    }
}

void CDetectProgressMeter::SetPosition(int position) {
    if (m_dialog) {
        m_dialog->Bar()->SetValue(std::clamp(position, 0, m_dialog->Bar()->GetRange()));
    }
}

void CDetectProgressMeter::BringToTop() {
    RaiseWithoutFocus(m_dialog.get());
}

CWizardServerSearch::CWizardServerSearch(CSnapferryPropSheet* sheet, std::string awaitedName)
    : m_sheet(sheet), m_awaitedName(std::move(awaitedName)) {}

CWizardServerSearch::~CWizardServerSearch() {
    if (m_step) {
        m_step->SetNotifier(nullptr);
        m_step->OnComplete(0);
    }
}

std::vector<DeviceRecord> CWizardServerSearch::Search() {
    m_found.clear();
    m_done = false;
    m_step = m_sheet->MakeLocateStep(m_meter, *this);
    m_sheet->Disable();
    if (m_step->Locate(false, true, m_sheet)) {
        // The search runs on the UI thread's ticks: serve them until it is over.
        wxGUIEventLoop loop;
        m_loop = &loop;
        if (!m_done) {
            loop.Run();
        }
        m_loop = nullptr;
    }
    m_sheet->Enable();
    return m_found;
}

void CWizardServerSearch::OnDeviceFound(const DeviceRecord& record) {
    m_found.push_back(record);
    if (!m_awaitedName.empty() && ServerNameOf(record) == m_awaitedName) {
        // Found what the user is waiting for: no need to listen out the whole window.
        m_meter.Close();
    }
}

void CWizardServerSearch::OnLocateDone() {
    m_done = true;
    if (m_loop != nullptr && m_loop->IsRunning()) {
        m_loop->ScheduleExit();
    }
}

CChooseVelmoraPage::CChooseVelmoraPage(CSnapferryPropSheet& sheet, wxWindow* book)
    : CSheetPage(sheet, {kDevicePage, false, 123, 124, ""}) {
    Create(book);
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* prompt = new wxStaticText(this, wxID_ANY, WizardDialogText(kDevicePage, 1100));
    prompt->Wrap(kPageTextWidth);
    column->Add(prompt, 0, wxALL, 12);
    m_list = new wxListCtrl(this, kListId, wxDefaultPosition, wxSize(-1, 180),
                            wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL);
    column->Add(m_list, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizer(column);
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &CChooseVelmoraPage::OnSelectionChanged, this);
    m_list->Bind(wxEVT_LIST_ITEM_DESELECTED, &CChooseVelmoraPage::OnSelectionChanged, this);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED,
                 [this](wxListEvent&) { Sheet().PressButton(kNextButton); });
}

CChooseVelmoraPage::~CChooseVelmoraPage() {
    if (m_step) {
        m_step->SetNotifier(nullptr);
        m_step->OnComplete(0);
    }
}

void CChooseVelmoraPage::OnSetActive() {
    Sheet().ShowBackButton(true);
    if (!m_initialised) {
        m_initialised = true;
        Initialise();
    }
    UpdateButtons();
}

void CChooseVelmoraPage::Initialise() {
    m_images = std::make_unique<wxImageList>(kIconSize, kIconSize, true, 3);
    for (const char* name : {"IDI_SERVER_LOCAL", "IDI_SERVER_INTERNET", "IDI_NODEVICE"}) {
        wxBitmap icon;
        if (!LoadBrandedBitmap(icon, name, kBrandedIconType, kIconSize, kIconSize)) {
            // Keeps the image indices of the icons after it.
            icon = wxBitmap(kIconSize, kIconSize);
        }
        m_images->Add(icon);
    }
    m_list->SetImageList(m_images.get(), wxIMAGE_LIST_SMALL);
    m_list->InsertColumn(0, wxString());

    if (Sheet().savedServerMissing) {
        // The welcome page has just listened for the saved server: offer what it heard instead of
        // listening again.
        for (const DeviceRecord& record : m_foundBefore) {
            AddServer(record);
        }
        if (m_list->GetItemCount() == 0) {
            AddNoServerItem(kNoLocalDevices);
        }
        AddRelayServer();
        m_list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        return;
    }
    m_step = Sheet().MakeLocateStep(m_meter, *this);
    m_searching = true;
    Sheet().Disable();
    if (!m_step->Locate(false, true, this)) {
        m_searching = false;
        OnLocateDone();
    }
}

void CChooseVelmoraPage::AddServer(const DeviceRecord& record) {
    const std::optional<std::string> name = ServerNameOf(record);
    if (!name) {
        return;
    }
    m_records.push_back(std::make_unique<DeviceRecord>(record));
    const long item = m_list->InsertItem(
        m_list->GetItemCount(), ToWxText(*name + " (" + record.addressText + ")"), kServerImage);
    m_list->SetItemPtrData(item, reinterpret_cast<wxUIntPtr>(m_records.back().get()));
    m_list->SetColumnWidth(0, wxLIST_AUTOSIZE);
}

void CChooseVelmoraPage::AddRelayServer() {
    const std::optional<DeviceRecord> relay = Sheet().RelayServer();
    if (!relay) {
        return;
    }
    m_records.push_back(std::make_unique<DeviceRecord>(*relay));
    const long item = m_list->InsertItem(
        m_list->GetItemCount(),
        ToWxText(FormatBrandedText(transfer_text::kRelayEntry, relay->hostName)), kInternetImage);
    m_list->SetItemPtrData(item, reinterpret_cast<wxUIntPtr>(m_records.back().get()));
    m_list->SetColumnWidth(0, wxLIST_AUTOSIZE);
}

void CChooseVelmoraPage::AddNoServerItem(const wxString& text) {
    const long item = m_list->InsertItem(m_list->GetItemCount(), text, kNoServerImage);
    m_list->SetItemPtrData(item, 0);
    m_list->SetColumnWidth(0, wxLIST_AUTOSIZE);
}

void CChooseVelmoraPage::OnDeviceFound(const DeviceRecord& record) {
    AddServer(record);
}

void CChooseVelmoraPage::OnLocateDone() {
    m_searching = false;
    if (m_list->GetItemCount() == 0) {
        AddNoServerItem(WizardText(kNoServerText));
    }
    // Last, after the servers on the network (or the line that says there are none): the first
    // item is the one selected, and the way through the relay is only ever the user's choice.
    AddRelayServer();
    m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    Sheet().Enable();
    // The keys go to the list, so that another entry (the way through the relay) can be
    // chosen without the mouse.
    m_list->SetFocus();
    UpdateButtons();
}

const DeviceRecord* CChooseVelmoraPage::SelectedRecord() const {
    const long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    return item >= 0 ? reinterpret_cast<const DeviceRecord*>(m_list->GetItemData(item)) : nullptr;
}

void CChooseVelmoraPage::UpdateButtons() {
    Sheet().SetWizardButtons(DeviceButtons(SelectedRecord() != nullptr, !m_userName.empty()));
}

void CChooseVelmoraPage::OnSelectionChanged(wxListEvent& event) {
    event.Skip();
    UpdateButtons();
}

int CChooseVelmoraPage::OnWizardNext() {
    const DeviceRecord* selected = SelectedRecord();
    if (selected == nullptr) {
        return kStayOnPage;
    }
    const DeviceRecord chosen = *selected;
    std::unique_ptr<CAbstractFileTransfer> transfer = Sheet().MakeTransfer(chosen);
    const bool made = transfer != nullptr;
    if (made) {
        Sheet().properties.userName = m_userName;
        Sheet().alwaysUseDevice = false;
        Sheet().TakeServer(chosen, std::move(transfer));
        Sheet().SaveSettings();
    }
    return DeviceNext(made);
}

int CChooseVelmoraPage::OnWizardBack() {
    return DeviceBack();
}
