#include "GuiHelpers.h"
#include "WxTestEnvironment.h"
#include "tests/common/discovery/LocateTestDoubles.h"

#include "common/registry/Registry.h"
#include "launcher/ChooseDeviceDlg_ui.h"
#include "launcher/DeviceChooser_ui.h"

#include <gtest/gtest.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

namespace {

using namespace std::chrono_literals;
using namespace testing_support;

constexpr uint32_t kAt7 = 0xC0A80107u;  // 192.168.1.7
constexpr uint32_t kAt8 = 0xC0A80108u;  // 192.168.1.8
constexpr uint32_t kAt9 = 0xC0A80109u;  // 192.168.1.9
constexpr uint32_t kAt10 = 0xC0A8010Au; // 192.168.1.10

class ChooseDeviceDialog : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSettings("[Domain]\nDomain=example.net\n");
        for (const DeviceRecord& record : {Found(kAt9, "srv1.example"), Found(kAt7, "home"),
                                           Found(kAt8, "legacy"), Found(kAt10, "")}) {
            table.emplace(record.address, record);
        }
    }
    static void Remember(const std::string& name) {
        ASSERT_TRUE(GetRegistry()->SetString(Machine, kProductKeyPath, "subdomain", name));
    }
    static std::unique_ptr<kvChooseDeviceDlg> MakeDialog(const DeviceTable* devices) {
        auto dialog = std::make_unique<kvChooseDeviceDlg>(
            nullptr, kChooseDeviceDialogId, "Choose a Device", wxDefaultPosition, wxSize(400, 300),
            wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
        dialog->SetDeviceTable(devices);
        dialog->InitDialog();
        return dialog;
    }

    DeviceTable table;
};

TEST_F(ChooseDeviceDialog, RememberedServerFoundListsServersAndTheRelayOnly) {
    Remember("HOME");
    const auto dialog = MakeDialog(&table);
    const wxListCtrl& list = *dialog->List();
    EXPECT_EQ(ItemTexts(list), (std::vector<std::string>{"home (192.168.1.7)", "srv1 (192.168.1.9)",
                                                         "www.example.net"}));
    EXPECT_EQ(ItemImages(list), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(list.GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0);
    ASSERT_NE(list.GetImageList(wxIMAGE_LIST_SMALL), nullptr);
    EXPECT_EQ(list.GetImageList(wxIMAGE_LIST_SMALL)->GetImageCount(), 3);
    EXPECT_TRUE(list.HasFlag(wxLC_NO_HEADER) && list.HasFlag(wxLC_SINGLE_SEL));
    EXPECT_GE(dialog->GetSize().GetWidth(), 400);
    EXPECT_TRUE(dialog->GetIcon().IsOk());
}

TEST_F(ChooseDeviceDialog, RememberedServerMissingAddsTheHomeEntryBeforeTheRelay) {
    Remember("myhome");
    const auto dialog = MakeDialog(&table);
    EXPECT_EQ(ItemTexts(*dialog->List()),
              (std::vector<std::string>{"home (192.168.1.7)", "srv1 (192.168.1.9)",
                                        "myhome.example.net (home)", "www.example.net"}));
    EXPECT_EQ(ItemImages(*dialog->List()), (std::vector<int>{0, 0, 1, 1}));
}

TEST_F(ChooseDeviceDialog, NothingRememberedNothingFoundOffersTheRelaySelected) {
    Remember("");
    const auto dialog = MakeDialog(nullptr);
    EXPECT_EQ(ItemTexts(*dialog->List()), (std::vector<std::string>{"www.example.net"}));
    EXPECT_EQ(dialog->List()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0);
}

// Checks the message for OK without a selection and answers it.
class ExpectSelectAnItem final : public wxExpectModalBase<wxMessageDialog> {
protected:
    int OnInvoked(wxMessageDialog* box) const override {
        EXPECT_EQ(box->GetMessage(), "Please select an item from the list.");
        EXPECT_EQ(box->GetTitle(), "Velmora Tandro");
        EXPECT_TRUE(box->GetMessageDialogStyle() & wxICON_QUESTION);
        return wxID_OK;
    }
};

TEST_F(ChooseDeviceDialog, OkWithoutSelectionAsksAgainThenOkReturnsThePick) {
    Remember("");
    const auto dialog = MakeDialog(&table);
    bool stayedOpen = false;
    UiPoller user([&] {
        if (!dialog->IsModal()) {
            return false;
        }
        Select(*dialog->List(), -1);
        wxTEST_DIALOG(Press(*dialog, wxID_OK), ExpectSelectAnItem());
        stayedOpen = dialog->IsModal();
        Select(*dialog->List(), 1);
        Press(*dialog, wxID_OK);
        return true;
    });
    EXPECT_EQ(dialog->ShowModal(), wxID_OK);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog->SelectedEntry().addressText, "192.168.1.9");
    EXPECT_EQ(dialog->SelectedEntry().kind, LocalDevice);
}

TEST_F(ChooseDeviceDialog, ActivatingAnItemChoosesItAndCancelReturnsCancel) {
    Remember("");
    const auto dialog = MakeDialog(&table);
    UiPoller activate([&] {
        if (!dialog->IsModal()) {
            return false;
        }
        Select(*dialog->List(), 2);
        Activate(*dialog->List(), 2);
        return true;
    });
    EXPECT_EQ(dialog->ShowModal(), wxID_OK);
    EXPECT_EQ(dialog->SelectedEntry().kind, RelaySite);
    EXPECT_EQ(dialog->SelectedEntry().addressText, "");

    UiPoller cancel([&] {
        if (!dialog->IsModal()) {
            return false;
        }
        Press(*dialog, wxID_CANCEL);
        return true;
    });
    EXPECT_EQ(dialog->ShowModal(), wxID_CANCEL);
}

// The chooser maps the user's pick to a choice case.
int ChooseWith(const DeviceTable& devices, long pick, std::string& address, bool cancel = false) {
    CValidateDeviceChoice validator;
    CDeviceChooser chooser(&validator);
    chooser.SetTable(&devices);
    UiPoller user([&] {
        kvChooseDeviceDlg* dialog = ModalChooseDeviceDialog();
        if (!dialog) {
            return false;
        }
        EXPECT_EQ(dialog->GetTitle(), "Choose a Device");
        EXPECT_EQ(dialog->ChoiceValidator(), &validator);
        if (cancel) {
            Press(*dialog, wxID_CANCEL);
        } else {
            Select(*dialog->List(), pick);
            Press(*dialog, wxID_OK);
        }
        return true;
    });
    const int choice = chooser.Choose();
    EXPECT_TRUE(user.Finished());
    address = chooser.ChosenAddress();
    return choice;
}

TEST_F(ChooseDeviceDialog, ChooserTurnsEachKindOfEntryIntoItsCase) {
    Remember("myhome");
    std::string address;
    EXPECT_EQ(ChooseWith(table, 1, address), ChoiceLocalDevice);
    EXPECT_EQ(address, "192.168.1.9");
    EXPECT_EQ(ChooseWith(table, 2, address), ChoiceRemoteHome);
    EXPECT_EQ(address, "");
    EXPECT_EQ(ChooseWith(table, 3, address), ChoiceRelaySite);
    EXPECT_EQ(address, "");
    EXPECT_EQ(ChooseWith(table, 0, address, true), ChoiceCancelled);
}

} // namespace
