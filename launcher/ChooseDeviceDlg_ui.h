// The launcher's choose-device dialog: the servers found on the local network, the remembered
// server through the relay domain when it was not found, and the relay domain's own site.
#pragma once

#include "common/discovery/DeviceChoice.h"
#include "common/discovery/DeviceRecord.h"

#include <wx/dialog.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>

#include <memory>

namespace chooser_text {
inline constexpr unsigned kDetectedPrompt = 130; // "%p Tandro has detected more than one ..."
inline constexpr unsigned kSelectAnItem = 131;   // "Please select an item from the list."
inline constexpr unsigned kCaption = 132;        // "%p Tandro"
inline constexpr unsigned kOkButton = 142;       // "&OK"
inline constexpr unsigned kCancelButton = 143;   // "&Cancel"
inline constexpr unsigned kHomeWord = 147;       // "home"
inline constexpr unsigned kChooseDevice = 148;   // "Choose a Device"
} // namespace chooser_text

inline constexpr wxWindowID kChooseDeviceDialogId = 10001;
inline constexpr wxWindowID kChooseDeviceListId = 10004;

class kvChooseDeviceDlg final : public wxDialog {
public:
    kvChooseDeviceDlg(wxWindow* parent, wxWindowID id, const wxString& title,
                      const wxPoint& position, const wxSize& size, long style);

    // The servers to offer (may be none); must outlive the dialog.
    void SetDeviceTable(const DeviceTable* table) { m_table = table; }
    void SetChoiceValidator(CAbstractValidateDeviceChoice* validator) { m_validator = validator; }
    CAbstractValidateDeviceChoice* ChoiceValidator() const { return m_validator; }

    // The entry picked with OK.
    const DeviceRecord& SelectedEntry() const { return m_selected; }
    wxListCtrl* List() const { return m_list; }

private:
    void OnInitialize(wxInitDialogEvent& event);
    void OnOk(wxCommandEvent& event);
    void OnActivated(wxListEvent& event);
    void AcceptSelection();

    wxListCtrl* m_list = nullptr;
    std::unique_ptr<wxImageList> m_images;
    DeviceRecord m_homeEntry;
    DeviceRecord m_relayEntry;
    const DeviceTable* m_table = nullptr;
    CAbstractValidateDeviceChoice* m_validator = nullptr; // handed over, not asked
    DeviceRecord m_selected;
};
