#include "wizard/sheet/PageFlow.h"

#include "common/branding/Branding.h"
#include "common/discovery/ServerName.h"
#include "wizard/sheet/DestinationEntries.h"

#include <utility>

namespace {

constexpr std::array<PageInfo, kPageCount> kPages = {{
    {0, kWelcomePage, 0, 0, true},
    {1, kDevicePage, 123, 124, false},
    {2, kFolderPage, 125, 126, false},
    {3, kCopyingPage, 127, 128, false},
    {4, kFinishPage, 0, 0, true},
    {5, kCancelPage, 0, 0, true},
    {6, kDeletingPage, 131, 132, false},
}};

int TemplateAt(int index) {
    if (index < 0 || static_cast<size_t>(index) >= kPages.size()) {
        return kStayOnPage;
    }
    return kPages[static_cast<size_t>(index)].templateId;
}

// A saved folder name becomes one folder of the share path; a hand-edited value could otherwise
// climb out of the library or name several folders.
bool IsUsableFolderName(const std::string& name) {
    return name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

} // namespace

const std::array<PageInfo, kPageCount>& PageTable() {
    return kPages;
}

const PageInfo* FindPage(int templateId) {
    for (const PageInfo& page : kPages) {
        if (page.templateId == templateId) {
            return &page;
        }
    }
    return nullptr;
}

int StandardNext(int templateId) {
    const PageInfo* page = FindPage(templateId);
    return page == nullptr ? kStayOnPage : TemplateAt(page->index + 1);
}

int StandardBack(int templateId) {
    const PageInfo* page = FindPage(templateId);
    return page == nullptr ? kStayOnPage : TemplateAt(page->index - 1);
}

unsigned WelcomeButtons(bool noPictures) {
    return noPictures ? kBackButton : kBackButton | kNextButton;
}

unsigned DeviceButtons(bool serverSelected, bool userNameGiven) {
    return serverSelected && userNameGiven ? kBackButton | kNextButton : kBackButton;
}

unsigned FixedPageButtons(int templateId) {
    switch (templateId) {
    case kFolderPage:
        return kBackButton | kNextButton;
    case kFinishPage:
        return kFinishButton;
    case kCancelPage:
        return kBackButton | kFinishButton;
    default:
        return kNoButtons;
    }
}

bool ShowsBackButton(int templateId) {
    return templateId != kWelcomePage;
}

WelcomeNextAction WelcomeNext(const WizardSettings& settings, bool noPictures) {
    if (noPictures) {
        return WelcomeNextAction::Stay;
    }
    return settings.usingSaved ? WelcomeNextAction::QuickPath : WelcomeNextAction::DevicePage;
}

int DeviceBack() {
    return kWelcomePage;
}

int DeviceNext(bool transferMade) {
    return transferMade ? kFolderPage : kStayOnPage;
}

int FolderNext(bool groupNameValid) {
    return groupNameValid ? kCopyingPage : kStayOnPage;
}

int FolderBack() {
    return StandardBack(kFolderPage);
}

int CancelBack() {
    return kFolderPage;
}

std::string SavedServerName(const DeviceRecord& record) {
    const std::optional<std::string> name = ServerNameOf(record);
    return name ? CutText(*name, kSavedServerNameLimit) : std::string();
}

std::optional<DeviceRecord> RelayServerRecord(const std::string& savedServerName,
                                              const std::string& launcherServerName) {
    const std::string& name = savedServerName.empty() ? launcherServerName : savedServerName;
    if (name.empty()) {
        return std::nullopt;
    }
    DeviceRecord record;
    record.hostName = CutText(name, kSavedServerNameLimit);
    record.kind = RemoteHome;
    return record;
}

std::string SavedDestination(const WizardSettings& settings, const std::string& date) {
    if (CheckGroupName(settings.groupName) != GroupNameProblem::None ||
        !IsUsableFolderName(settings.folderName)) {
        return {};
    }
    return PictureFolderName(settings.usePersonalLibrary, settings.folderName) +
           DestinationSuffix(settings.groupSelection, settings.groupName, date);
}

CQuickPath::CQuickPath(CAbstractServerSearch& search, TransferMaker makeTransfer)
    : m_search(search), m_makeTransfer(std::move(makeTransfer)) {}

QuickPathResult CQuickPath::Run(const WizardSettings& settings, const std::string& date) {
    QuickPathResult result;
    result.destination = SavedDestination(settings, date);
    if (result.destination.empty()) {
        result.outcome = QuickPathOutcome::UnusableSettings;
        result.nextPage = kDevicePage;
        return result;
    }
    result.found = m_search.Search();
    const DeviceRecord* match = nullptr;
    for (const DeviceRecord& record : result.found) {
        // The remembered name was cut when it was saved; cut the found one alike, so that a
        // long name still finds its server.
        if (!settings.serverName.empty() && SavedServerName(record) == settings.serverName) {
            match = &record;
            break;
        }
    }
    if (match == nullptr) {
        result.outcome = QuickPathOutcome::ServerMissing;
        result.savedServerMissing = true;
        result.nextPage = kDevicePage;
        return result;
    }
    result.server = *match;
    if (m_makeTransfer) {
        result.transfer = m_makeTransfer(result.server, settings.usePersonalLibrary ? 1 : 0);
    }
    if (!result.transfer) {
        result.outcome = QuickPathOutcome::NoTransfer;
        result.nextPage = kStayOnPage;
        return result;
    }
    result.outcome = QuickPathOutcome::Ready;
    result.nextPage = kCopyingPage;
    return result;
}
