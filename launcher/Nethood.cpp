#include "launcher/Nethood.h"

#include "common/relay/RemoteLinkLookup.h"
#include "common/relay/WebFolderOpening.h"
#include "launcher/LauncherTexts.h"
#include "launcher/WebAddresses.h"

#include <cstdio>
#include <optional>

namespace {

// Holds the busy cursor for its lifetime.
class BusyScope {
public:
    explicit BusyScope(CAbstractLauncherUi& ui) : m_ui(ui) { m_ui.BeginBusy(); }
    ~BusyScope() { m_ui.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    CAbstractLauncherUi& m_ui;
};

} // namespace

LauncherMessage MessageForLookupResult(int result) {
    switch (RelayMessageFor(result)) {
    case RelayMessage::ServerError:
        return {launcher_text::kRelayServerError, result, MessageIcon::Information};
    case RelayMessage::InvalidParameter:
        return {launcher_text::kRelayInvalidParameter, result, MessageIcon::Information};
    case RelayMessage::HostUnreachable:
        return {launcher_text::kRelayHostUnreachable, result, MessageIcon::Information};
    case RelayMessage::ServiceUnavailable:
        return {launcher_text::kRelayServiceUnavailable, result, MessageIcon::Information};
    case RelayMessage::CannotNavigate:
        break;
    }
    return {launcher_text::kCannotNavigate, result, MessageIcon::Information};
}

CNethood::CNethood(CAbstractLauncherUi& ui, CAbstractLauncherStore& store, CAbstractOpener& opener,
                   CAbstractHttpClient& http)
    : m_ui(ui), m_store(store), m_opener(opener), m_http(http) {}

DispatchOutcome CNethood::Fail(unsigned textId, int number, MessageIcon icon) {
    m_ui.ShowMessage({textId, number, icon});
    return DispatchOutcome::Failed;
}

DispatchOutcome CNethood::BrowseToServer(ServerChoice choice, const std::string& address) {
    if (choice == ServerChoice::Cancelled) {
        return DispatchOutcome::Cancelled;
    }
    if (choice == ServerChoice::Invalid) {
        std::printf("No usable server choice: nothing to open\n");
        return DispatchOutcome::Failed;
    }
    const std::string relayDomain = m_store.RelayDomain();
    const std::string serverName =
        choice == ServerChoice::RemoteHome ? m_store.RememberedServerName() : std::string();
    const std::optional<std::string> url =
        WebAddressForChoice(choice, address, relayDomain, serverName);
    if (!url) {
        std::printf("No web address for the server choice (address \"%s\")\n", address.c_str());
        return Fail(launcher_text::kCannotNavigate, -1, MessageIcon::Question);
    }
    return OpenInBrowser(*url);
}

DispatchOutcome CNethood::OpenInBrowser(const std::string& url) {
    if (!IsOpenableWebAddress(url)) {
        std::printf("Not opened, no web address: %s\n", url.c_str());
        return Fail(launcher_text::kCannotNavigate, -1, MessageIcon::Question);
    }
    const OpenOutcome outcome = m_opener.Open(url);
    if (!outcome.opened) {
        return Fail(launcher_text::kCannotNavigate, outcome.status, MessageIcon::Question);
    }
    return DispatchOutcome::Done;
}

DispatchOutcome CNethood::OpenServerFolders(ServerChoice choice, const std::string& address) {
    switch (choice) {
    case ServerChoice::Cancelled:
        return DispatchOutcome::Cancelled;
    case ServerChoice::LocalDevice:
        return ExploreServerShares(address);
    case ServerChoice::RemoteHome: {
        const std::string serverName = m_store.RememberedServerName();
        const std::string userName = m_store.RememberedUserName();
        if (!serverName.empty() && !userName.empty()) {
            return OpenRemoteFolders(serverName, userName);
        }
        // Without a remembered server name the user may type it: a read-only empty field would
        // leave nothing but Cancel. Only the user name is remembered.
        const NamesAnswer answer = m_ui.AskNames(serverName, userName, serverName.empty());
        if (!answer.confirmed) {
            return DispatchOutcome::Cancelled;
        }
        if (!m_store.RememberUserName(answer.userName)) {
            std::printf("The user name could not be remembered\n");
        }
        return OpenRemoteFolders(serverName.empty() ? answer.serverName : serverName,
                                 answer.userName);
    }
    case ServerChoice::RelaySite: {
        const NamesAnswer answer = m_ui.AskNames(std::string(), std::string(), true);
        if (!answer.confirmed) {
            return DispatchOutcome::Cancelled;
        }
        return OpenRemoteFolders(answer.serverName, answer.userName);
    }
    case ServerChoice::Invalid:
        break;
    }
    std::printf("No usable server choice: nothing to open\n");
    return DispatchOutcome::Failed;
}

DispatchOutcome CNethood::ExploreServerShares(const std::string& address) {
    const std::optional<std::string> root = ShareRootAddress(address);
    if (!root) {
        std::printf("Not opened, no server address: %s\n", address.c_str());
        return Fail(launcher_text::kCannotOpenFolder, -1, MessageIcon::Information);
    }
    const OpenOutcome outcome = m_opener.Open(*root);
    if (!outcome.opened) {
        return Fail(launcher_text::kCannotOpenFolder, outcome.status, MessageIcon::Information);
    }
    return DispatchOutcome::Done;
}

DispatchOutcome CNethood::OpenRemoteFolders(const std::string& serverName,
                                            const std::string& userName) {
    if (serverName.empty() || userName.empty()) {
        return DispatchOutcome::Failed;
    }
    const std::string relayDomain = m_store.RelayDomain();
    const std::string server = AsciiLowerCase(serverName);
    const std::string user = AsciiLowerCase(userName);

    std::string link;
    RemoteLinkResult result = kRelayUnusable;
    std::optional<OpenOutcome> opened; // set when the link was handed to the desktop
    {
        BusyScope busy(m_ui);
        result = LookupRemoteLink(m_http, relayDomain, server, user, link);
        if (result == kLinkFound && IsOpenableWebAddress(link)) {
            opened = OpenWebFolder(link, WebFolderDisplayName(user, server, relayDomain));
        } else if (result == kLinkFound) {
            // A relay reply must never make the launcher open a local file or start a program.
            std::printf("The relay's link is not a web address: %s\n", link.c_str());
            result = kRelayUnusable;
        }
    }
    if (!opened) {
        m_ui.ShowMessage(MessageForLookupResult(result));
        return DispatchOutcome::Failed;
    }
    if (!opened->opened) {
        return Fail(launcher_text::kCannotOpenFolder, opened->status, MessageIcon::Information);
    }
    return DispatchOutcome::Done;
}

OpenOutcome CNethood::OpenWebFolder(const std::string& link, const std::string& displayName) {
    return OpenWebFolderLink(m_opener, link, displayName);
}

int RunLauncher(LauncherCommand command, const std::string& programPath,
                CAbstractServerChooser& chooser, CAbstractLauncherUi& ui, CNethood& nethood) {
    if (command == LauncherCommand::None) {
        ui.ShowUsage(programPath);
        return kExitUsage;
    }
    std::string address;
    const ServerChoice choice = chooser.Choose(address);
    DispatchOutcome outcome = DispatchOutcome::Failed;
    switch (command) {
    case LauncherCommand::Web:
        outcome = nethood.BrowseToServer(choice, address);
        break;
    case LauncherCommand::Folder:
        outcome = nethood.OpenServerFolders(choice, address);
        break;
    case LauncherCommand::None:
    case LauncherCommand::Unknown:
        return kExitUsage;
    }
    switch (outcome) {
    case DispatchOutcome::Done:
        return kExitDone;
    case DispatchOutcome::Cancelled:
        return kExitCancelled;
    case DispatchOutcome::Failed:
        break;
    }
    return kExitFailed;
}
