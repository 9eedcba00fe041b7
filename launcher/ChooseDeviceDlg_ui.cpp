#include "launcher/ChooseDeviceDlg_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/WxText_ui.h"

#include <wx/button.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace {

wxString Text(unsigned id) {
    return ToWxText(LoadBrandedText(id));
}

constexpr int kIconSize = 32;
const wxSize kPromptSize(285, 80);
const wxSize kListSize(285, 250);

} // namespace

kvChooseDeviceDlg::kvChooseDeviceDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                                     const wxPoint& position, const wxSize& size, long style)
    : wxDialog(parent, id, title, position, size, style) {
    m_homeEntry.kind = RemoteHome;
    m_relayEntry.kind = RelaySite;

    SetIcons(LauncherWindowIcons());

    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* prompt = new wxStaticText(this, wxID_ANY, Text(chooser_text::kDetectedPrompt),
                                    wxDefaultPosition, kPromptSize);
    prompt->Wrap(kPromptSize.GetWidth());
    // At least the classic size, more when the font or the translation needs it.
    wxSize promptSize = prompt->GetBestSize();
    promptSize.IncTo(kPromptSize);
    prompt->SetMinSize(promptSize);
    column->Add(prompt, 0, wxEXPAND | wxALL, 10);

    m_list = new wxListCtrl(this, kChooseDeviceListId, wxDefaultPosition, kListSize,
                            wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL);
    column->Add(m_list, 1, wxEXPAND | wxLEFT | wxRIGHT, 10);

    wxStdDialogButtonSizer* buttons = CreateStdDialogButtonSizer(wxOK | wxCANCEL);
    if (auto* ok = wxDynamicCast(FindWindow(wxID_OK), wxButton)) {
        ok->SetLabel(Text(chooser_text::kOkButton));
    }
    if (auto* cancel = wxDynamicCast(FindWindow(wxID_CANCEL), wxButton)) {
        cancel->SetLabel(Text(chooser_text::kCancelButton));
    }
    column->Add(buttons, 0, wxEXPAND | wxALL, 10);
    SetSizer(column);
    // The requested size, or more when the content needs it.
    SetMinSize(column->GetMinSize() + (GetSize() - GetClientSize()));
    wxSize dialogSize = GetSize();
    dialogSize.IncTo(GetMinSize());
    SetSize(dialogSize);
    Centre();

    Bind(wxEVT_INIT_DIALOG, &kvChooseDeviceDlg::OnInitialize, this);
    Bind(wxEVT_BUTTON, &kvChooseDeviceDlg::OnOk, this, wxID_OK);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &kvChooseDeviceDlg::OnActivated, this);
}

void kvChooseDeviceDlg::OnInitialize(wxInitDialogEvent& event) {
    event.Skip();
    // Filled afresh each time the dialog is shown.
    m_list->ClearAll();
    auto images = std::make_unique<wxImageList>(kIconSize, kIconSize, true, 3);
    for (const char* name : {"IDI_NETWORKDRIVE", "IDI_INTERNETDRIVE", "IDI_NODEVICE"}) {
        wxBitmap icon;
        if (!LoadBrandedBitmap(icon, name, kBrandedIconType, kIconSize, kIconSize)) {
            // Keeps the image indices of the icons after it.
            icon = wxBitmap(kIconSize, kIconSize);
        }
        images->Add(icon);
    }
    // The list lets go of the old images before they are freed.
    m_list->SetImageList(images.get(), wxIMAGE_LIST_SMALL);
    m_images = std::move(images);
    m_list->InsertColumn(0, wxString());

    const std::vector<ChoiceListItem> items =
        BuildChoiceListItems(m_table, ReadRememberedServerName(), ReadRelayDomain(),
                             LoadBrandedText(chooser_text::kHomeWord));
    for (const ChoiceListItem& item : items) {
        const long index = m_list->InsertItem(m_list->GetItemCount(), ToWxText(item.text),
                                              static_cast<int>(item.image));
        const DeviceRecord* entry = item.entry == ChoiceListItem::Entry::Home    ? &m_homeEntry
                                    : item.entry == ChoiceListItem::Entry::Relay ? &m_relayEntry
                                                                                 : item.record;
        m_list->SetItemPtrData(index, reinterpret_cast<wxUIntPtr>(entry));
    }
    m_list->SetColumnWidth(0, wxLIST_AUTOSIZE);
    if (m_list->GetItemCount() > 0) {
        m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    CentreOnScreen();
}

void kvChooseDeviceDlg::OnOk(wxCommandEvent& /*event*/) {
    AcceptSelection();
}

void kvChooseDeviceDlg::OnActivated(wxListEvent& /*event*/) {
    AcceptSelection();
}

void kvChooseDeviceDlg::AcceptSelection() {
    const DeviceRecord* entry = nullptr;
    {
        wxBusyCursor busy;
        const long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        if (item >= 0) {
            entry = reinterpret_cast<const DeviceRecord*>(m_list->GetItemData(item));
        }
    }
    if (!entry) {
        wxMessageBox(Text(chooser_text::kSelectAnItem), Text(chooser_text::kCaption),
                     wxOK | wxICON_QUESTION);
        return;
    }
    m_selected = *entry;
    EndModal(wxID_OK);
}
