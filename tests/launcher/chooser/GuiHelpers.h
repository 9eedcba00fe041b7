// Small hands for GUI cases: pumping events, finding windows, pressing buttons.
#pragma once

#include "launcher/ChooseDeviceDlg_ui.h"

#include <wx/app.h>
#include <wx/listctrl.h>
#include <wx/splash.h>
#include <wx/toplevel.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Handles events, timers and idle time for about `duration`.
inline void PumpFor(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

inline wxSplashScreen* ShownSplash() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (auto* splash = dynamic_cast<wxSplashScreen*>(window); splash && splash->IsShown()) {
            return splash;
        }
    }
    return nullptr;
}

inline kvChooseDeviceDlg* ModalChooseDeviceDialog() {
    auto* dialog =
        dynamic_cast<kvChooseDeviceDlg*>(wxWindow::FindWindowById(kChooseDeviceDialogId));
    return dialog && dialog->IsModal() ? dialog : nullptr;
}

inline std::vector<std::string> ItemTexts(const wxListCtrl& list) {
    std::vector<std::string> texts;
    for (long i = 0; i < list.GetItemCount(); ++i) {
        texts.push_back(list.GetItemText(i).utf8_string());
    }
    return texts;
}

inline std::vector<int> ItemImages(const wxListCtrl& list) {
    std::vector<int> images;
    for (long i = 0; i < list.GetItemCount(); ++i) {
        wxListItem item;
        item.SetId(i);
        item.SetMask(wxLIST_MASK_IMAGE);
        list.GetItem(item);
        images.push_back(item.GetImage());
    }
    return images;
}

inline void Select(wxListCtrl& list, long index) {
    for (long i = 0; i < list.GetItemCount(); ++i) {
        list.SetItemState(i, i == index ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    }
}

inline void Press(wxWindow& dialog, wxWindowID button) {
    wxCommandEvent click(wxEVT_BUTTON, button);
    click.SetEventObject(dialog.FindWindow(button));
    dialog.GetEventHandler()->ProcessEvent(click);
}

inline void Activate(wxListCtrl& list, long index) {
    wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, list.GetId());
    activated.SetEventObject(&list);
    activated.m_itemIndex = index;
    list.GetEventHandler()->ProcessEvent(activated);
}

} // namespace testing_support
