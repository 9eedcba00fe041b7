// The wizard's window: a dialog with a header band for the inner pages, the pages in a book, and
// Back, Next, Finish and Cancel. It owns the user's choices, their saved copy, the transfer made
// for the chosen server and the copy step, and applies the records the copy worker posts.
#pragma once

#include "common/discovery/DeviceRecord.h"
#include "common/discovery/LocateDeviceStep.h"
#include "wizard/record/CopyRecord.h"
#include "wizard/search/FoundPicture.h"
#include "wizard/sheet/AlreadyCopied.h"
#include "wizard/sheet/KeptOriginals.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/WizardSettings.h"
#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/FileTransfer.h"
#include "wizard/transfer/FileTransferStep.h"
#include "wizard/transfer/ShareCredentials.h"
#include "wizard/transfer/TransferProperties.h"

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CSheetPage;
class CPageText;
class CWelcomePage;
class CChooseVelmoraPage;
class CFolderPage;
class CCopyingFilesPage;
class CFinishPage;
class CCancelPage;
class CDeletingFilesPage;
class CAbstractCredentialsPrompt;
class CAbstractOpener;
class wxButton;
class wxPanel;
class wxSimplebook;
class wxStaticBitmap;
class wxStaticLine;
class wxStaticText;

class CSnapferryPropSheet final : public wxDialog,
                                  public CAbstractAsyncDataSheet,
                                  public CAbstractAsyncDataPoster {
public:
    CSnapferryPropSheet(const wxBitmap& headerBitmap, bool cameraMode);
    // Waits for a copy worker that still runs, so that nothing it uses goes away under it.
    ~CSnapferryPropSheet() override;

    // The saved choices of the user hive; the defaults when there are none.
    void LoadSavedSettings();
    // Writes the choices; a failure is a diagnostic line, and the wizard goes on.
    bool SaveSettings();
    // Makes the seven pages in the sheet's order.
    void AddPages();
    // Shows the sheet until the user finishes or cancels it.
    int Run();

    // The page to show: a template id of the page table.
    void SetActivePage(int templateId);
    CSheetPage* ActivePage() const;
    CSheetPage* PageByTemplate(int templateId) const;
    void SetWizardButtons(unsigned buttons);
    // The sheet grows (never shrinks) so that the page shows all its content: its texts may have
    // grown since it was laid out.
    void GrowToFit(CSheetPage* page);
    void ShowBackButton(bool show);
    // Presses a button as the user would (tests, and Enter in a page's fields).
    void PressButton(unsigned button);
    // While the sheet is disabled (a server search runs) the buttons are off too.
    bool Enable(bool enable = true) override;

    // The prompt the credentials dialogs go through; the wizard's own unless set (tests).
    void SetCredentialsPrompt(CAbstractCredentialsPrompt* prompt) { m_prompt = prompt; }
    CAbstractCredentialsPrompt* CredentialsPrompt();
    // Stand-ins for tests: how a transfer is made (the factory unless set), how the folder page
    // lists a library's folders (over SMB unless set; called on a worker thread), and who hears
    // of every page shown.
    std::function<std::unique_ptr<CAbstractFileTransfer>(const DeviceRecord&)> transferMaker;
    std::function<ShareResult(const std::string& share, std::vector<std::string>& folders)>
        folderLister;
    // How the folder page reads a folder's entries on the chosen server before copying into it
    // (over SMB unless set; UI thread).
    std::function<ShareResult(const std::string& folder, std::vector<ShareEntry>& entries)>
        entryLister;
    std::function<void(int templateId)> onPageShown;

    // How the device page and the saved-settings shortcut listen for servers (tests use another
    // port and a shorter window).
    LocateSettings locateSettings = LocateSettings::Wizard();
    int locateSeconds = 10;
    // A search for servers as the sheet listens, ticking on the UI thread.
    std::unique_ptr<CLocateDeviceStep> MakeLocateStep(CAbstractProgressMeter& meter,
                                                      CAbstractLocateNotifier& notifier) const;

    // The credentials that opened the chosen library, for the other sessions of this run.
    std::shared_ptr<CCredentialCache> CredentialCache() const { return m_credentialCache; }
    // Opens the destination folder from the finish page; xdg-open unless set (tests).
    void SetOpener(CAbstractOpener* opener) { m_opener = opener; }
    CAbstractOpener& Opener();

    // A transfer object for a server, through the factory: may ask for credentials. Null keeps
    // the wizard where it is.
    std::unique_ptr<CAbstractFileTransfer> MakeTransfer(const DeviceRecord& server);
    // The remembered server reached through the relay, when a name is remembered (the wizard's,
    // or the launcher's machine-wide one).
    std::optional<DeviceRecord> RelayServer() const;
    // The copies go to the user's web folder rather than to a library.
    bool CopiesToWebFolder() const { return !properties.webFolderLink.empty(); }
    // A session with the chosen server's destination: the web folder, or the server's shares.
    std::unique_ptr<CAbstractShareSession> MakeDestinationSession() const;
    // The share the destination lies on: the web folder, or the chosen library.
    std::string DestinationShare() const;
    // How the user knows that share: "\\server\library", or the web folder's name.
    std::string DestinationShareDisplay() const;
    // The server, the transfer and the server name are the wizard's from now on. The pictures
    // already on it are looked for again when the server or the library is not the one they
    // were looked for on.
    void TakeServer(const DeviceRecord& server, std::unique_ptr<CAbstractFileTransfer> transfer);

    // Before the welcome page: the pictures already on the saved server, reached at the address
    // the record remembers with the credentials remembered for it (nobody is asked). Nothing
    // is checked when the record knows none of the pictures there.
    void CheckAlreadyCopiedOnSavedServer();
    // Every picture is already on the server and the user skips them: the finish page names the
    // folder that holds them, and nothing is copied. The page to go to.
    int FinishAsAlreadyCopied();
    bool SkipsEverything() const { return skipAlreadyCopied && alreadyCopied.All(); }

    // Starts the copy run of the current choices (the copying page calls it).
    bool StartTransferThreads(const std::shared_ptr<CFileTransferCallback>& callback);
    CFileTransferStep& FileStep() { return m_fileStep; }
    // Ends the delete pass at its next picture.
    void StopDeleting();

    // The copying page asks whether to stop. While it asks, the run goes on behind the question
    // (a copy under way, its rollback): its progress shows, but its end does not move the pages,
    // so that the answer is weighed against what the run did rather than what it was.
    void BeginStopQuestion();
    // After the answer: a run that failed shows its failure, one that finished its finish (or
    // its delete pass); only a run still copying is cancelled when the user said yes.
    void EndStopQuestion(bool stop);
    bool IsAskingToStop() const { return m_askingToStop; }

    // CAbstractAsyncDataPoster: any thread. Records are applied on the UI thread in the order
    // they were posted, and dropped with the sheet.
    void Post(std::unique_ptr<kvAsyncData> record) override;

    // CAbstractAsyncDataSheet: UI thread.
    void ApplyFileStatus(const kvFileStatusAsyncData& record) override;
    void ApplyGroupStatus(const kvGroupStatusAsyncData& record) override;
    void ApplyDeleteStatus(const kvDeleteStatusAsyncData& record) override;
    void ApplyDoneCopy(const kvDoneCopyAsyncData& record) override;
    void ApplySwitchDeletePage(const kvSwitchDeletePageAsyncData& record) override;

    // The state the pages share, as the pages fill it.
    WizardSettings settings;
    CTransferProperties properties;
    FoundSet pictures; // folder mode: the pictures of the search
    bool cameraMode = false;
    bool noPictures = false;
    // Folders and pictures the search could not reach; the welcome page says so.
    unsigned unreachablePictures = 0;
    bool savedServerMissing = false;
    bool alwaysUseDevice = false;
    std::string cameraDeviceId;
    DeviceRecord server; // the chosen server; valid once a transfer was made
    bool hasServer = false;
    // How the last run ended: the number of pictures it copied, those it could not copy and
    // passed over (a camera run), and why it failed.
    uint32_t copiedCount = 0; // pictures, however many files each; videos apart
    uint32_t videoCount = 0;
    uint32_t skippedCount = 0;
    TransferFailure firstSkipped;
    TransferFailure lastFailure;
    // The user stopped the last run (its failure, if any, is then its rollback's).
    bool lastRunCancelled = false;
    // The originals the last run was asked to delete and kept.
    KeptOriginals keptOriginals;

    // The record of copies (folder mode; null when none can be kept), whether it was damaged and
    // started anew, the facts of the pictures in the found set's order, and those of them already
    // on the chosen server.
    std::shared_ptr<CAbstractCopyRecord> copyRecord;
    bool copyRecordReplaced = false;
    std::vector<SourceFacts> pictureFacts;
    AlreadyCopied alreadyCopied;
    bool skipAlreadyCopied = true;
    // Pictures the last run (or the finish without one) found already on the server.
    uint32_t alreadyThereCount = 0;

    // Tests and the pages reach the controls through these.
    wxButton* BackButton() const { return m_back; }
    wxButton* NextButton() const { return m_next; }
    wxButton* FinishButton() const { return m_finish; }
    wxButton* CancelButton() const { return m_cancel; }
    const wxString& HeaderTitle() const;
    wxPanel* HeaderBand() const { return m_header; }
    const wxBitmap& HeaderBitmap() const { return m_headerBitmap; }

private:
    void AddPage(CSheetPage* page);
    void ShowPage(CSheetPage* page);
    void OnBack(wxCommandEvent& event);
    void OnNext(wxCommandEvent& event);
    void OnFinish(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void Navigate(int answer, int direction);
    // The copying page shows what the records brought since it last did.
    void FlushCopyProgress();
    // Ends the modal run once no worker is left.
    void EndWizard(int code);

    wxBitmap m_headerBitmap;
    wxPanel* m_header = nullptr;
    wxStaticText* m_headerTitle = nullptr;
    CPageText* m_headerSubtitle = nullptr;
    wxStaticLine* m_headerLine = nullptr;
    wxSimplebook* m_book = nullptr;
    wxButton* m_back = nullptr;
    wxButton* m_next = nullptr;
    wxButton* m_finish = nullptr;
    wxButton* m_cancel = nullptr;
    unsigned m_buttons = 0;
    wxString m_title;

    std::vector<CSheetPage*> m_pages; // owned by the book, in the sheet's order

    CAbstractCredentialsPrompt* m_prompt = nullptr;
    std::unique_ptr<CAbstractCredentialsPrompt> m_ownPrompt;
    CAbstractOpener* m_opener = nullptr;
    std::unique_ptr<CAbstractOpener> m_ownOpener;
    std::shared_ptr<CCredentialCache> m_credentialCache;
    // The web folder the last transfer made for a server through the relay copies into.
    std::string m_webFolderLink;

    CFileTransferStep m_fileStep;
    std::shared_ptr<CFileTransferCallback> m_runCallback;
    // Records posted and not yet applied, in posting order.
    void ApplyRecords();
    std::mutex m_recordsMutex;
    std::deque<std::unique_ptr<kvAsyncData>> m_records;
    // While a run copies, its redraw timer takes the progress records in; only records that turn
    // the pages wake the UI thread then.
    std::atomic<bool> m_timerTakesRecords{false};

    unsigned m_runsStarted = 0;
    unsigned m_runsEnded = 0;
    // The stop question is open; the page a run's end asked for while it was (0: none).
    bool m_askingToStop = false;
    int m_heldPage = 0;

    // Ticks while a run copies: they show its progress, and tell the longest the UI thread
    // kept them waiting.
    static constexpr std::chrono::milliseconds kUiWatchPeriod{40};
    wxTimer m_uiWatch;
    std::chrono::steady_clock::time_point m_runStart;
    std::chrono::steady_clock::time_point m_lastTick;
    std::chrono::milliseconds m_longestTickWait{0};
};

// The wizard's texts: a branded string, and a dialog control's text (built-in English when the
// bundle has none).
wxString WizardText(unsigned id);
wxString WizardDialogText(unsigned dialogId, unsigned controlId);
