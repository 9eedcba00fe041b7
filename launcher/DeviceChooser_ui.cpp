#include "launcher/DeviceChooser_ui.h"

#include "common/branding/Branding.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/IntervalTimer_ui.h"
#include "common/ui/WxText_ui.h"
#include "launcher/ChooseDeviceDlg_ui.h"
#include "launcher/Splash_ui.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include <cstdio>
#include <optional>

int CDeviceChooser::Choose() {
    kvChooseDeviceDlg dialog(m_parent, kChooseDeviceDialogId,
                             ToWxText(LoadBrandedText(chooser_text::kChooseDevice)),
                             wxDefaultPosition, wxSize(400, 300),
                             wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxRESIZE_BORDER);
    dialog.SetDeviceTable(m_table);
    dialog.SetChoiceValidator(m_validator);
    if (dialog.ShowModal() != wxID_OK) {
        return ChoiceCancelled;
    }
    const int choice = ChoiceCaseForEntry(dialog.SelectedEntry(), m_chosenAddress);
    if (choice == ChoiceInvalid) {
        std::printf("DeviceChooser: the dialog returned an entry of unknown kind %d\n",
                    static_cast<int>(dialog.SelectedEntry().kind));
    }
    return choice;
}

namespace {

// The frame that owns the splash and the dialog; never shown.
class OwnerFrame {
public:
    OwnerFrame() : m_frame(new wxFrame(nullptr, wxID_ANY, wxString())) {}
    ~OwnerFrame() { m_frame->Destroy(); }
    OwnerFrame(const OwnerFrame&) = delete;
    OwnerFrame& operator=(const OwnerFrame&) = delete;
    wxFrame* Get() const { return m_frame; }

private:
    wxFrame* m_frame;
};

} // namespace

int ChooseServer(std::string& address, std::size_t maxLength, const LocateSettings& settings) {
    // Loader warnings go among the diagnostics, never into a message box.
    CScopedConsoleLog console;
    std::optional<wxBusyCursor> busy(std::in_place);
    CLocateDeviceStep step(settings);
    OwnerFrame owner;

    const auto handlePendingEvents = [] {
        if (wxTheApp) {
            wxTheApp->Yield(true);
        }
    };
    if (ShowBrandedSplash(owner.Get())) {
        handlePendingEvents();
    }

    // The search blocks this thread; meanwhile its windows are kept painted and their timers
    // run, so the splash closes itself on time.
    step.SetSynchronousWaitPump(handlePendingEvents);
    step.SetTimeout(5);
    step.Locate(true, false, nullptr);

    int choice = ChoiceRemoteHome;
    if (ReadBrandingInt(kDefaultSection, "reporttohomeonly", 1) != 0) {
        choice = MatchHomeServer(step.Found(), address, maxLength);
    } else {
        // The dialog is for the user's hands, not under an hourglass.
        busy.reset();
        CValidateDeviceChoice validator;
        CDeviceChooser chooser(&validator);
        chooser.SetParentWindow(owner.Get());
        choice = step.RunChooser(chooser);
        if (choice != ChoiceCancelled) {
            address = chooser.ChosenAddress().substr(0, maxLength);
        }
    }
    return choice;
}
