// The wizard's pages and the way from one to the next: which page a Next or Back leads to, which
// buttons a page offers, and the welcome page's shortcut that copies with the saved settings.
#pragma once

#include "common/discovery/DeviceRecord.h"
#include "wizard/sheet/WizardSettings.h"
#include "wizard/transfer/FileTransfer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Pages are named by their template ids; a Next or Back handler returns the page to show, or
// kStayOnPage.
inline constexpr int kStayOnPage = -1;
inline constexpr int kWelcomePage = 102;
inline constexpr int kFolderPage = 103;
inline constexpr int kDevicePage = 104;
inline constexpr int kCopyingPage = 105;
inline constexpr int kFinishPage = 106;
inline constexpr int kCancelPage = 139;
inline constexpr int kDeletingPage = 140;

struct PageInfo {
    int index; // the order the sheet adds the pages in
    int templateId;
    unsigned headerTitleId; // string ids of the header texts; 0 on full-size pages
    unsigned headerSubtitleId;
    bool fullSize; // no header, the page fills the sheet
};

inline constexpr size_t kPageCount = 7;
// In index order.
const std::array<PageInfo, kPageCount>& PageTable();
// The page of a template id; null for any other id.
const PageInfo* FindPage(int templateId);

// The pages next to a page in the sheet's order, for pages without a handler of their own;
// kStayOnPage at either end and for an unknown page.
int StandardNext(int templateId);
int StandardBack(int templateId);

// Buttons a page asks the sheet for (the sheet's Cancel is always there).
enum WizardButtons : unsigned {
    kNoButtons = 0,
    kBackButton = 1,
    kNextButton = 2,
    kFinishButton = 4,
};

// Welcome: Back only when there is nothing to copy (the user can then only cancel).
unsigned WelcomeButtons(bool noPictures);
// Device: Next once a server is selected and a user name is typed.
unsigned DeviceButtons(bool serverSelected, bool userNameGiven);
// The pages whose buttons do not depend on what happens on them: folder (Back, Next), copying and
// deleting (none), finish (Finish), cancel (Back, Finish). kNoButtons for the others.
unsigned FixedPageButtons(int templateId);
// Only the welcome page hides the sheet's Back button.
bool ShowsBackButton(int templateId);

// What Next on the welcome page does.
enum class WelcomeNextAction {
    Stay,       // nothing to copy
    DevicePage, // ask for the server
    QuickPath,  // copy with the saved settings (CQuickPath)
};
WelcomeNextAction WelcomeNext(const WizardSettings& settings, bool noPictures);

int DeviceBack();
// After the device page tried to make the transfer for the selected server.
int DeviceNext(bool transferMade);
// After the folder page checked the group name.
int FolderNext(bool groupNameValid);
int FolderBack();
int CancelBack();

// The name the wizard remembers for a server it copied to: its host name up to the first dot, at
// most this many bytes; empty for a server without a name.
inline constexpr size_t kSavedServerNameLimit = 127;
std::string SavedServerName(const DeviceRecord& record);

// The entry that reaches a remembered server through the relay: named after the wizard's saved
// server, or else the launcher's machine-wide remembered one; none when neither is remembered.
std::optional<DeviceRecord> RelayServerRecord(const std::string& savedServerName,
                                              const std::string& launcherServerName);

// The user name transfers are made with when nobody typed one.
inline constexpr const char* kDefaultUserName = "<username>";

// The destination below the library share that the saved settings name: the picture folder
// followed by the group's folder of naming type groupSelection. Empty when the saved names
// cannot be used as folder names (a group name the folder page would refuse, a folder name
// with a separator, "." or "..").
std::string SavedDestination(const WizardSettings& settings, const std::string& date);

// A search for servers on the local network that returns when it is over; the GUI shows its
// progress window meanwhile.
class CAbstractServerSearch {
public:
    virtual ~CAbstractServerSearch() = default;
    virtual std::vector<DeviceRecord> Search() = 0;
};

// Makes the transfer for a server and a library (0 family, 1 personal); null when none can be
// made (the user cancelled the credentials, the server refused them).
using TransferMaker =
    std::function<std::unique_ptr<CAbstractFileTransfer>(const DeviceRecord&, uint8_t library)>;

enum class QuickPathOutcome {
    Ready,           // server found and transfer made: straight to copying
    NoTransfer,      // server found, no transfer: stay on the welcome page
    ServerMissing,   // the saved server is not on the network: ask for one
    UnusableSettings // the saved names are no destination: take the usual way through the pages
};

struct QuickPathResult {
    QuickPathOutcome outcome = QuickPathOutcome::ServerMissing;
    int nextPage = kStayOnPage;
    bool savedServerMissing = false;                 // for the device page: do not search again
    DeviceRecord server;                             // Ready, NoTransfer
    std::unique_ptr<CAbstractFileTransfer> transfer; // Ready
    std::string destination;                         // all but UnusableSettings
    // Every server the search found, in the order it gave them: when the saved one is missing
    // the device page can offer these rather than claim that there are none.
    std::vector<DeviceRecord> found;
};

// The welcome page's shortcut: the destination from the saved settings, a search for the saved
// server (the first one whose SavedServerName equals serverName exactly), and its transfer.
class CQuickPath {
public:
    // `search` is used during Run only and must outlive it.
    CQuickPath(CAbstractServerSearch& search, TransferMaker makeTransfer);

    QuickPathResult Run(const WizardSettings& settings, const std::string& date);

private:
    CAbstractServerSearch& m_search;
    TransferMaker m_makeTransfer;
};
