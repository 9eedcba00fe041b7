// The launcher's work after the server choice: "/web" opens a web address in the browser,
// "/folder" the server's shares or the user's web folder found through the relay service.
// Everything the work needs from outside comes through the small interfaces below, so that the
// decisions can be followed without a desktop.
#pragma once

#include "common/desktop/Opener.h"
#include "common/relay/HttpClient.h"
#include "launcher/LauncherCommand.h"
#include "launcher/ServerChoice.h"

#include <string>
#include <string_view>

enum class MessageIcon { Question, Information };

// A message box of the launcher: text `textId` formatted with `number`, caption
// launcher_text::kCaption, an OK button.
struct LauncherMessage {
    unsigned textId = 0;
    int number = 0;
    MessageIcon icon = MessageIcon::Information;
};

// The two names a web folder lookup needs, as the user confirmed them.
struct NamesAnswer {
    bool confirmed = false;
    std::string serverName;
    std::string userName;
};

class CAbstractLauncherUi {
public:
    virtual ~CAbstractLauncherUi() = default;
    // The usage message, with the program's path in both lines.
    virtual void ShowUsage(const std::string& programPath) = 0;
    virtual void ShowMessage(const LauncherMessage& message) = 0;
    // The name and username dialog, filled with the given names; the name can be changed only
    // when `serverNameEditable`.
    virtual NamesAnswer AskNames(const std::string& serverName, const std::string& userName,
                                 bool serverNameEditable) = 0;
    // The busy cursor over a lookup; BeginBusy also lets pending window updates run, so that a
    // closed dialog is gone before the launcher blocks.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

// The launcher's remembered values and settings.
class CAbstractLauncherStore {
public:
    virtual ~CAbstractLauncherStore() = default;
    virtual std::string RelayDomain() = 0;
    // The home server's name on the relay domain, machine-wide.
    virtual std::string RememberedServerName() = 0;
    // The user's account name on the server, per user.
    virtual std::string RememberedUserName() = 0;
    virtual bool RememberUserName(const std::string& userName) = 0;
};

// Decides which server a command talks to; for LocalDevice, `address` receives its dotted
// address.
class CAbstractServerChooser {
public:
    virtual ~CAbstractServerChooser() = default;
    virtual ServerChoice Choose(std::string& address) = 0;
};

enum class DispatchOutcome {
    Done,      // something was opened
    Cancelled, // the user cancelled; nothing was opened
    Failed,    // nothing could be opened; the user has been told (but for an invalid choice)
};

// The process's exit status.
enum LauncherExitStatus : int {
    kExitDone = 0,      // the command ran and opened what it should
    kExitFailed = 1,    // something could not be opened (the user saw why)
    kExitUsage = 2,     // no command, or an argument that is no command
    kExitCancelled = 3, // the user cancelled the server choice or the name dialog
};

class CNethood {
public:
    CNethood(CAbstractLauncherUi& ui, CAbstractLauncherStore& store, CAbstractOpener& opener,
             CAbstractHttpClient& http);

    // "/web": the web address of the choice (see WebAddressForChoice) in the browser.
    DispatchOutcome BrowseToServer(ServerChoice choice, const std::string& address);
    // "/folder": the shares of a local server, or the web folder of the remote home or of the
    // server the user names for the relay site.
    DispatchOutcome OpenServerFolders(ServerChoice choice, const std::string& address);

    // An openable web address in the browser; message 140 with the opener's status (or -1 for
    // an address that is not openable) when that fails.
    DispatchOutcome OpenInBrowser(const std::string& url);
    // smb://ADDRESS/ in the file manager; message 136 with the opener's status when that fails.
    DispatchOutcome ExploreServerShares(const std::string& address);
    // Looks the web folder of `userName` on `serverName` up through the relay (names
    // lower-cased) and opens it; every failure is shown.
    DispatchOutcome OpenRemoteFolders(const std::string& serverName, const std::string& userName);

private:
    // The link as a WebDAV location in the file manager, else in the browser.
    OpenOutcome OpenWebFolder(const std::string& link, const std::string& displayName);
    DispatchOutcome Fail(unsigned textId, int number, MessageIcon icon);

    CAbstractLauncherUi& m_ui;
    CAbstractLauncherStore& m_store;
    CAbstractOpener& m_opener;
    CAbstractHttpClient& m_http;
};

// The message of a lookup result other than kLinkFound: 155 to 158 for the relay's errors 1 to
// 4, 140 for every other result; the number shown is the result.
LauncherMessage MessageForLookupResult(int result);

// One run of the launcher after start-up: the usage message without a command (no search),
// otherwise the server choice and the dispatch of the command. Returns the exit status.
int RunLauncher(LauncherCommand command, const std::string& programPath,
                CAbstractServerChooser& chooser, CAbstractLauncherUi& ui, CNethood& nethood);
