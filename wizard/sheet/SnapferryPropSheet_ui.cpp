#include "wizard/sheet/SnapferryPropSheet_ui.h"

#include "common/branding/Branding.h"
#include "common/desktop/linux/XdgOpener.h"
#include "common/discovery/ServerName.h"
#include "common/registry/Registry.h"
#include "common/relay/RelayNames.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/IntervalTimer_ui.h"
#include "common/ui/WxText_ui.h"
#include "wizard/search/MediaGroups.h"
#include "wizard/sheet/ChooseVelmoraPage_ui.h"
#include "wizard/sheet/ClosingPages_ui.h"
#include "wizard/sheet/DestinationEntries.h"
#include "wizard/sheet/FolderPage_ui.h"
#include "wizard/sheet/SheetPage_ui.h"
#include "wizard/sheet/WelcomePage_ui.h"
#include "wizard/sheet/WorkPages_ui.h"
#include "wizard/transfer/AuthenticationDialog_ui.h"
#include "wizard/transfer/FileTransferFactory.h"
#include "wizard/transfer/SmbSession.h"
#include "wizard/transfer/TransferNaming.h"
#include "wizard/transfer/WebDavSession.h"

#include <wx/button.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>
#include <wx/simplebook.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include <sys/stat.h>

namespace {

// The sheet's own caption, as the design names it; each page's caption shows in the title bar.
constexpr unsigned kPageCaptionControl = kDialogCaption;
const wxSize kPageSize(497, 314);
constexpr int kSidePictureWidth = 164;
constexpr unsigned kBackText = 182;
constexpr unsigned kNextText = 183;
constexpr unsigned kFinishText = 184;
constexpr unsigned kCancelText = 185;
// How long the saved server may take to answer before the welcome page.
constexpr std::chrono::milliseconds kSavedServerProbeTimeout{1500};

// The bytes of the pictures found, for the time a run has left; a picture that cannot be read
// counts nothing (the run says what became of it), nor one already on the server (the run leaves
// it out).
uint64_t TotalBytes(const FoundSet& pictures, const RecordPlan* plan) {
    uint64_t total = 0;
    struct stat info {};
    for (const FoundPicture& picture : pictures) {
        if (plan != nullptr && plan->alreadyThere.count(picture.FullPath()) != 0) {
            continue;
        }
        if (::stat(picture.FullPath().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            total += uint64_t(info.st_size);
        }
    }
    return total;
}

} // namespace

wxString WizardText(unsigned id) {
    return ToWxText(LoadBrandedText(id));
}

wxString WizardDialogText(unsigned dialogId, unsigned controlId) {
    if (const kvResourceManager* resources = GetResourceManager()) {
        return ToWxText(resources->LoadDialogText(dialogId, controlId));
    }
    return {};
}

CPageText::CPageText(wxWindow* parent, wxWindowID id, const wxString& text, int width)
    : wxStaticText(parent, id, wxString()), m_width(width) {
    SetText(text);
}

void CPageText::SetText(const wxString& text) {
    m_text = text;
    SetLabel(text);
    Wrap(m_width);
    // The sizer asks the text's best size: the wrapped one from now on.
    InvalidateBestSize();
    SetMinSize(wxDefaultSize);
}

CSheetPage::CSheetPage(CSnapferryPropSheet& sheet, const Style& style)
    : m_sheet(sheet), m_style(style) {}

wxSizer* CSheetPage::BeginFullSizeLayout(const wxString& title) {
    SetBackgroundColour(*wxWHITE);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    wxBitmap picture;
    if (LoadBrandedBitmap(picture, m_style.picture)) {
        // The picture at the top, and its last row's colour below it when the page is taller.
        auto* side = new wxPanel(this, wxID_ANY, wxDefaultPosition, picture.GetSize());
        side->SetCanFocus(false);
        const wxImage image = picture.ConvertToImage();
        side->SetBackgroundColour(wxColour(image.GetRed(0, image.GetHeight() - 1),
                                           image.GetGreen(0, image.GetHeight() - 1),
                                           image.GetBlue(0, image.GetHeight() - 1)));
        new wxStaticBitmap(side, wxID_ANY, picture, wxPoint(0, 0));
        row->Add(side, 0, wxEXPAND);
    } else {
        row->AddSpacer(kSidePictureWidth);
    }
    auto* column = new wxBoxSizer(wxVERTICAL);
    auto* heading = new wxStaticText(this, wxID_ANY, title);
    // The desktop's own font, larger and bold, so that it fits the user's settings.
    wxFont font = heading->GetFont();
    font.SetPointSize(font.GetPointSize() * 3 / 2 + 2);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    heading->SetFont(font);
    heading->Wrap(kFullPageTextWidth);
    column->Add(heading, 0, wxBOTTOM, 16);
    row->Add(column, 1, wxEXPAND | wxALL, 20);
    SetSizer(row);
    return column;
}

CSnapferryPropSheet::CSnapferryPropSheet(const wxBitmap& headerBitmap, bool camera)
    : wxDialog(nullptr, wxID_ANY, WizardDialogText(kWelcomePage, kPageCaptionControl),
               wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE),
      cameraMode(camera), m_headerBitmap(headerBitmap),
      m_credentialCache(std::make_shared<CCredentialCache>()) {
    properties.cameraMode = camera;

    wxIconBundle icons;
    for (int size : {16, 32, 48}) {
        wxIcon icon;
        if (LoadBrandedIcon(icon, "IDI_MAINFRAME", size, size)) {
            icons.AddIcon(icon);
        }
    }
    SetIcons(icons);

    auto* column = new wxBoxSizer(wxVERTICAL);

    m_header = new wxPanel(this);
    m_header->SetBackgroundColour(*wxWHITE);
    // Nothing in it to use: Tab passes it by.
    m_header->SetCanFocus(false);
    auto* headerRow = new wxBoxSizer(wxHORIZONTAL);
    auto* headerTexts = new wxBoxSizer(wxVERTICAL);
    m_headerTitle = new wxStaticText(m_header, wxID_ANY, wxString());
    m_headerTitle->SetFont(m_headerTitle->GetFont().Bold());
    // Beside the header picture, and indented: a long subtitle wraps within the band.
    const int pictureWidth = m_headerBitmap.IsOk() ? m_headerBitmap.GetWidth() + 12 : 0;
    m_headerSubtitle =
        new CPageText(m_header, wxID_ANY, wxString(), kPageTextWidth - 16 - pictureWidth);
    headerTexts->Add(m_headerTitle, 0, wxBOTTOM, 4);
    headerTexts->Add(m_headerSubtitle, 0, wxLEFT, 16);
    headerRow->Add(headerTexts, 1, wxALIGN_CENTER_VERTICAL | wxALL, 12);
    if (m_headerBitmap.IsOk()) {
        headerRow->Add(new wxStaticBitmap(m_header, wxID_ANY, m_headerBitmap), 0,
                       wxALIGN_CENTER_VERTICAL | wxALL, 6);
    }
    m_header->SetSizer(headerRow);
    column->Add(m_header, 0, wxEXPAND);
    m_headerLine = new wxStaticLine(this);
    column->Add(m_headerLine, 0, wxEXPAND);

    m_book = new wxSimplebook(this);
    m_book->SetMinSize(kPageSize);
    column->Add(m_book, 1, wxEXPAND);
    column->Add(new wxStaticLine(this), 0, wxEXPAND);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_back = new wxButton(this, wxID_BACKWARD, WizardText(kBackText));
    m_next = new wxButton(this, wxID_FORWARD, WizardText(kNextText));
    m_finish = new wxButton(this, wxID_APPLY, WizardText(kFinishText));
    m_cancel = new wxButton(this, wxID_CANCEL, WizardText(kCancelText));
    buttons->AddStretchSpacer();
    buttons->Add(m_back, 0, wxRIGHT, 0);
    buttons->Add(m_next, 0, wxRIGHT, 0);
    buttons->Add(m_finish, 0, wxRIGHT, 0);
    buttons->AddSpacer(12);
    buttons->Add(m_cancel, 0);
    column->Add(buttons, 0, wxEXPAND | wxALL, 10);
    SetSizer(column);
    m_finish->Hide();

    m_uiWatch.SetOwner(this);
    Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        const auto now = std::chrono::steady_clock::now();
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastTick) -
                          kUiWatchPeriod;
        m_longestTickWait = std::max(m_longestTickWait, wait);
        m_lastTick = now;
        ApplyRecords();
        FlushCopyProgress();
    });
    SetEscapeId(wxID_CANCEL);
    Bind(wxEVT_BUTTON, &CSnapferryPropSheet::OnBack, this, wxID_BACKWARD);
    Bind(wxEVT_BUTTON, &CSnapferryPropSheet::OnNext, this, wxID_FORWARD);
    Bind(wxEVT_BUTTON, &CSnapferryPropSheet::OnFinish, this, wxID_APPLY);
    Bind(wxEVT_BUTTON, &CSnapferryPropSheet::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CSnapferryPropSheet::OnClose, this);
}

CSnapferryPropSheet::~CSnapferryPropSheet() {
    // Records of a worker that still runs would reach a sheet that is gone: detach first, then
    // let the worker end (the step's destruction cancels and waits for it).
    if (m_runCallback) {
        m_runCallback->SetTarget(nullptr, nullptr);
    }
    m_fileStep.CancelAll();
    m_fileStep.Wait();
}

void CSnapferryPropSheet::LoadSavedSettings() {
    if (CRegistry* registry = GetRegistry()) {
        settings = ::LoadSavedSettings(*registry);
    }
}

bool CSnapferryPropSheet::SaveSettings() {
    CRegistry* registry = GetRegistry();
    return registry != nullptr && ::SaveSettings(*registry, settings);
}

void CSnapferryPropSheet::AddPages() {
    // The deleting page is made before the closing pages, as it always was; the order the user
    // meets them in is the sheet's order below.
    auto* welcome = new CWelcomePage(*this, m_book);
    auto* device = new CChooseVelmoraPage(*this, m_book);
    auto* folder = new CFolderPage(*this, m_book);
    auto* copying = new CCopyingFilesPage(*this, m_book);
    auto* deleting = new CDeletingFilesPage(*this, m_book);
    auto* finish = new CFinishPage(*this, m_book);
    auto* cancel = new CCancelPage(*this, m_book);
    for (CSheetPage* page : std::initializer_list<CSheetPage*>{welcome, device, folder, copying,
                                                               finish, cancel, deleting}) {
        AddPage(page);
    }
    // Room for the largest page, whichever is shown first.
    wxSize pageSize = kPageSize;
    for (CSheetPage* page : m_pages) {
        if (wxSizer* sizer = page->GetSizer()) {
            pageSize.IncTo(sizer->GetMinSize());
        }
    }
    m_book->SetMinSize(pageSize);
    GetSizer()->SetSizeHints(this);
    Centre();
}

void CSnapferryPropSheet::AddPage(CSheetPage* page) {
    m_book->AddPage(page, wxString());
    m_pages.push_back(page);
}

int CSnapferryPropSheet::Run() {
    if (m_pages.empty()) {
        return wxID_CANCEL;
    }
    ShowPage(m_pages.front());
    // The window's frame is only known once it is shown; the first page is fitted again then.
    CallAfter([this] {
        if (CSheetPage* page = ActivePage()) {
            GrowToFit(page);
        }
    });
    return ShowModal();
}

CSheetPage* CSnapferryPropSheet::ActivePage() const {
    const int index = m_book->GetSelection();
    return index >= 0 && size_t(index) < m_pages.size() ? m_pages[size_t(index)] : nullptr;
}

CSheetPage* CSnapferryPropSheet::PageByTemplate(int templateId) const {
    for (CSheetPage* page : m_pages) {
        if (page->TemplateId() == templateId) {
            return page;
        }
    }
    return nullptr;
}

void CSnapferryPropSheet::SetActivePage(int templateId) {
    if (CSheetPage* page = PageByTemplate(templateId)) {
        ShowPage(page);
    }
}

void CSnapferryPropSheet::ShowPage(CSheetPage* page) {
    for (size_t index = 0; index < m_pages.size(); ++index) {
        if (m_pages[index] != page) {
            continue;
        }
        const CSheetPage::Style& style = page->PageStyle();
        m_header->Show(!style.fullSize);
        m_headerLine->Show(!style.fullSize);
        if (!style.fullSize) {
            m_title = WizardText(style.titleId);
            m_headerTitle->SetLabel(m_title);
            m_headerSubtitle->SetText(WizardText(style.subtitleId));
        }
        const wxString caption = WizardDialogText(unsigned(style.templateId), kPageCaptionControl);
        if (!caption.empty()) {
            SetTitle(caption);
        }
        m_book->ChangeSelection(index);
        ShowBackButton(true);
        page->OnSetActive();
        // A page may need more room than the ones before it (the header band comes and goes,
        // and the page's texts were just filled in).
        GrowToFit(page);
        if (onPageShown) {
            onPageShown(style.templateId);
        }
        return;
    }
}

void CSnapferryPropSheet::GrowToFit(CSheetPage* page) {
    if (wxSizer* sizer = page->GetSizer()) {
        wxSize room = m_book->GetMinSize();
        room.IncTo(sizer->GetMinSize());
        m_book->SetMinSize(room);
    }
    wxSize size = GetSize();
    size.IncTo(GetSizer()->ComputeFittingWindowSize(this));
    SetSize(size);
    Layout();
}

const wxString& CSnapferryPropSheet::HeaderTitle() const {
    return m_title;
}

void CSnapferryPropSheet::SetWizardButtons(unsigned buttons) {
    m_buttons = buttons;
    const bool enabled = IsEnabled();
    m_back->Enable(enabled && (buttons & kBackButton) != 0);
    const bool finish = (buttons & kFinishButton) != 0;
    m_next->Show(!finish);
    m_finish->Show(finish);
    m_next->Enable(enabled && (buttons & kNextButton) != 0);
    m_finish->Enable(enabled && finish);
    wxButton* preferred = finish ? m_finish : (m_next->IsEnabled() ? m_next : nullptr);
    if (preferred != nullptr) {
        preferred->SetDefault();
        SetDefaultItem(preferred);
    } else {
        SetDefaultItem(m_cancel);
    }
    Layout();
    // The keyboard follows the buttons: Enter goes to the button the page offers first, and a
    // button that was just turned off must not keep the focus (Enter and Esc would reach
    // nothing). A field of the page keeps it.
    wxWindow* focus = FindFocus();
    const bool onButtons =
        focus == m_back || focus == m_next || focus == m_finish || focus == m_cancel;
    if (enabled &&
        (focus == nullptr || onButtons || !focus->IsEnabled() || !focus->IsShownOnScreen())) {
        (preferred != nullptr ? preferred : m_cancel)->SetFocus();
    }
}

void CSnapferryPropSheet::ShowBackButton(bool show) {
    m_back->Show(show);
    Layout();
}

bool CSnapferryPropSheet::Enable(bool enable) {
    const bool changed = wxDialog::Enable(enable);
    SetWizardButtons(m_buttons);
    return changed;
}

void CSnapferryPropSheet::PressButton(unsigned button) {
    wxButton* target = button == kBackButton     ? m_back
                       : button == kNextButton   ? m_next
                       : button == kFinishButton ? m_finish
                                                 : m_cancel;
    if (!target->IsShown() || !target->IsEnabled()) {
        return;
    }
    wxCommandEvent click(wxEVT_BUTTON, target->GetId());
    click.SetEventObject(target);
    target->GetEventHandler()->ProcessEvent(click);
}

void CSnapferryPropSheet::Navigate(int answer, int direction) {
    if (answer == kStayOnPage) {
        return;
    }
    if (answer != CSheetPage::kNeighbour) {
        SetActivePage(answer);
        return;
    }
    CSheetPage* current = ActivePage();
    for (size_t index = 0; index < m_pages.size(); ++index) {
        if (m_pages[index] == current) {
            const long neighbour = long(index) + direction;
            if (neighbour >= 0 && size_t(neighbour) < m_pages.size()) {
                ShowPage(m_pages[size_t(neighbour)]);
            }
            return;
        }
    }
}

void CSnapferryPropSheet::OnBack(wxCommandEvent& /*event*/) {
    if (CSheetPage* page = ActivePage(); page && m_back->IsEnabled()) {
        Navigate(page->OnWizardBack(), -1);
    }
}

void CSnapferryPropSheet::OnNext(wxCommandEvent& /*event*/) {
    if (CSheetPage* page = ActivePage(); page && m_next->IsEnabled() && m_next->IsShown()) {
        Navigate(page->OnWizardNext(), +1);
    }
}

void CSnapferryPropSheet::OnFinish(wxCommandEvent& /*event*/) {
    EndWizard(wxID_OK);
}

void CSnapferryPropSheet::OnCancel(wxCommandEvent& /*event*/) {
    CSheetPage* page = ActivePage();
    if (page == nullptr || page->OnQueryCancel()) {
        EndWizard(wxID_CANCEL);
    }
}

void CSnapferryPropSheet::OnClose(wxCloseEvent& event) {
    CSheetPage* page = ActivePage();
    if (event.CanVeto() && page != nullptr && !page->OnQueryCancel()) {
        event.Veto();
        return;
    }
    EndWizard(wxID_CANCEL);
}

void CSnapferryPropSheet::EndWizard(int code) {
    if (m_fileStep.IsRunning()) {
        // The worker ends at its next picture once cancelled; the wizard never closes under it.
        wxBusyCursor busy;
        m_fileStep.CancelAll();
        m_fileStep.Wait();
    }
    if (IsModal()) {
        EndModal(code);
    }
}

std::unique_ptr<CLocateDeviceStep>
CSnapferryPropSheet::MakeLocateStep(CAbstractProgressMeter& meter,
                                    CAbstractLocateNotifier& notifier) const {
    std::unique_ptr<CLocateDeviceStep> step = CreateUiLocateStep(locateSettings);
    step->SetTimeout(locateSeconds);
    step->SetMeter(&meter);
    step->SetNotifier(&notifier);
    return step;
}

CAbstractCredentialsPrompt* CSnapferryPropSheet::CredentialsPrompt() {
    if (m_prompt == nullptr) {
        m_ownPrompt = std::make_unique<CDialogCredentialsPrompt>(this);
        m_prompt = m_ownPrompt.get();
    }
    return m_prompt;
}

CAbstractOpener& CSnapferryPropSheet::Opener() {
    if (m_opener == nullptr) {
        m_ownOpener = std::make_unique<CXdgOpener>();
        m_opener = m_ownOpener.get();
    }
    return *m_opener;
}

std::unique_ptr<CAbstractFileTransfer>
CSnapferryPropSheet::MakeTransfer(const DeviceRecord& chosen) {
    wxBusyCursor busy;
    if (transferMaker) {
        return transferMaker(chosen);
    }
    CFileTransferFactory factory(chosen.addressText, chosen.kind,
                                 settings.usePersonalLibrary ? 1 : 0);
    factory.SetOwner(CredentialsPrompt());
    factory.SetCredentialCache(m_credentialCache);
    // The folder page has not chosen yet: the saved destination is the best guess of where the
    // pictures go, and an account may be allowed to write only there.
    factory.SetDestination(properties.location.empty() ? SavedDestination(settings, TodayText())
                                                       : properties.location);
    factory.SetRelayNames(chosen.hostName, RememberedRelayUserName());
    std::unique_ptr<CAbstractFileTransfer> transfer = factory.Create();
    if (transfer && chosen.kind == RemoteHome) {
        m_webFolderLink = factory.WebFolderLink();
    }
    return transfer;
}

std::optional<DeviceRecord> CSnapferryPropSheet::RelayServer() const {
    return RelayServerRecord(settings.serverName, RememberedRelayServerName());
}

std::unique_ptr<CAbstractShareSession> CSnapferryPropSheet::MakeDestinationSession() const {
    if (WebFolderAddress address;
        CopiesToWebFolder() && ParseWebFolderLink(properties.webFolderLink, address)) {
        return CreateWebDavSession(address, m_credentialCache);
    }
    return CreateSmbSession(properties.serverAddress, m_credentialCache);
}

std::string CSnapferryPropSheet::DestinationShare() const {
    CTransferProperties current = properties;
    current.library = settings.usePersonalLibrary ? 1 : 0;
    return LibraryShareOf(current);
}

std::string CSnapferryPropSheet::DestinationShareDisplay() const {
    if (CopiesToWebFolder()) {
        return properties.webFolderLink;
    }
    return "\\\\" + properties.serverAddress + "\\" + DestinationShare();
}

void CSnapferryPropSheet::TakeServer(const DeviceRecord& chosen,
                                     std::unique_ptr<CAbstractFileTransfer> transfer) {
    server = chosen;
    hasServer = true;
    properties.serverAddress = chosen.addressText;
    properties.library = settings.usePersonalLibrary ? 1 : 0;
    properties.webFolderLink = chosen.kind == RemoteHome ? m_webFolderLink : std::string();
    // The name the wizard remembers is held to 127 bytes, as the saved value always was.
    settings.serverName = CutText(ServerNameOf(chosen).value_or(std::string()), 127);
    const std::string library = DestinationShare();
    if (!cameraMode && copyRecord && !alreadyCopied.IsFor(settings.serverName, library)) {
        wxBusyCursor busy;
        alreadyCopied =
            CheckAlreadyCopied(copyRecord.get(), transfer ? transfer->Session() : nullptr,
                               settings.serverName, chosen.addressText, library, pictureFacts);
        CountWholePictures(alreadyCopied, pictures);
        std::printf("Already on the server: %zu of %zu picture(s)\n",
                    alreadyCopied.wholePicturesThere, alreadyCopied.wholePictures);
    }
    m_fileStep.SetTransfer(std::move(transfer));
}

void CSnapferryPropSheet::CheckAlreadyCopiedOnSavedServer() {
    const std::string library = LibraryShareName(settings.usePersonalLibrary);
    if (cameraMode || !copyRecord || settings.serverName.empty() ||
        !RecordKnowsAny(*copyRecord, settings.serverName, library, pictureFacts)) {
        return;
    }
    const std::string address = copyRecord->LastAddress(settings.serverName);
    if (address.empty()) {
        return;
    }
    wxBusyCursor busy;
    // Away from home the address answers nothing, and the welcome page must not wait for the
    // share library's time-outs: one short question first.
    SmbEndpoint endpoint;
    if (!ParseServerAddress(address, endpoint) ||
        ProbeSmbDialects(endpoint, kSavedServerProbeTimeout) == SmbDialectOffer::Unknown) {
        std::printf("The saved server does not answer at %s: earlier copies are looked for later\n",
                    address.c_str());
        return;
    }
    CFileTransferFactory factory(address, LocalDevice, settings.usePersonalLibrary ? 1 : 0);
    factory.SetCredentialCache(m_credentialCache);
    factory.SetDestination(SavedDestination(settings, TodayText()));
    std::unique_ptr<CAbstractFileTransfer> transfer = factory.Create();
    if (!transfer || transfer->Session() == nullptr) {
        std::printf("The saved server is not at %s: earlier copies are looked for later\n",
                    address.c_str());
        return;
    }
    alreadyCopied = CheckAlreadyCopied(copyRecord.get(), transfer->Session(), settings.serverName,
                                       address, library, pictureFacts);
    CountWholePictures(alreadyCopied, pictures);
    std::printf("Already on the server: %zu of %zu picture(s)\n", alreadyCopied.wholePicturesThere,
                alreadyCopied.wholePictures);
}

int CSnapferryPropSheet::FinishAsAlreadyCopied() {
    copiedCount = 0;
    skippedCount = 0;
    firstSkipped = {};
    lastFailure = {};
    keptOriginals = {};
    alreadyThereCount = uint32_t(alreadyCopied.wholePicturesThere);
    properties.serverAddress = alreadyCopied.serverAddress;
    properties.library = settings.usePersonalLibrary ? 1 : 0;
    properties.location = LocationOfShareFolder(FolderOfMostCopies(alreadyCopied.copies));
    return kFinishPage;
}

bool CSnapferryPropSheet::StartTransferThreads(
    const std::shared_ptr<CFileTransferCallback>& callback) {
    if (m_fileStep.Transfer() == nullptr) {
        return false;
    }
    m_runCallback = callback;
    callback->SetTarget(this, this);
    m_fileStep.Transfer()->SetCallback(callback);
    properties.pictures = &pictures;
    properties.cameraMode = cameraMode;
    properties.cameraDeviceId = cameraDeviceId;
    properties.serverName = settings.serverName;
    properties.recordPlan = nullptr;
    if (!cameraMode) {
        const bool sameServer = alreadyCopied.IsFor(settings.serverName, DestinationShare());
        properties.recordPlan = MakeRecordPlan(
            copyRecord, settings.serverName, properties.serverAddress, pictures, pictureFacts,
            skipAlreadyCopied && sameServer ? &alreadyCopied : nullptr);
    } else {
        // The camera is listed by the run, which finds its pictures already there itself.
        properties.recordPlan = MakeCameraRecordPlan(copyRecord, settings.serverName,
                                                     properties.serverAddress, skipAlreadyCopied);
    }
    copiedCount = 0;
    videoCount = 0;
    alreadyThereCount = 0;
    skippedCount = 0;
    firstSkipped = {};
    lastFailure = {};
    lastRunCancelled = false;
    keptOriginals = {};
    if (auto* page = dynamic_cast<CCopyingFilesPage*>(PageByTemplate(kCopyingPage))) {
        // A camera's pictures have no sizes before they are fetched: the page then judges the
        // pictures to come by those copied.
        const size_t leftOut =
            properties.recordPlan ? properties.recordPlan->alreadyThere.size() : 0;
        page->StartRate(cameraMode ? 0 : int(pictures.size() - leftOut),
                        cameraMode ? 0 : TotalBytes(pictures, properties.recordPlan.get()));
    }
    m_timerTakesRecords = true;
    if (!m_fileStep.Start(properties)) {
        m_timerTakesRecords = false;
        return false;
    }
    ++m_runsStarted;
    // How late a tick comes while the run goes on tells how long the window stalls.
    m_runStart = std::chrono::steady_clock::now();
    m_lastTick = m_runStart;
    m_longestTickWait = {};
    m_uiWatch.Start(int(kUiWatchPeriod.count()));
    return true;
}

void CSnapferryPropSheet::StopDeleting() {
    if (m_runCallback) {
        m_runCallback->Cancel();
    }
}

void CSnapferryPropSheet::Post(std::unique_ptr<kvAsyncData> record) {
    // Records wait in posting order; the UI thread is woken once for all that came meanwhile,
    // since waking it for each of hundreds a second would take the processor from the copy.
    // While a run copies, progress waits for the next redraw: a wake-up for each picture's
    // records takes the processor from the copy on a machine with few cores.
    const bool movesPages = record->MovesPages();
    bool wake = false;
    {
        std::lock_guard lock(m_recordsMutex);
        wake = movesPages || (m_records.empty() && !m_timerTakesRecords.load());
        m_records.push_back(std::move(record));
    }
    if (wake) {
        // The sheet's own queue goes with the sheet: nothing is applied after it.
        CallAfter([this] { ApplyRecords(); });
    }
}

void CSnapferryPropSheet::ApplyRecords() {
    std::deque<std::unique_ptr<kvAsyncData>> records;
    {
        std::lock_guard lock(m_recordsMutex);
        records.swap(m_records);
    }
    for (const std::unique_ptr<kvAsyncData>& record : records) {
        record->Apply();
    }
}

void CSnapferryPropSheet::ApplyFileStatus(const kvFileStatusAsyncData& record) {
    if (auto* page = dynamic_cast<CCopyingFilesPage*>(PageByTemplate(kCopyingPage))) {
        page->ShowFileProgress(record.Percent(), record.totalBytes, record.bytesDone);
    }
}

void CSnapferryPropSheet::FlushCopyProgress() {
    if (auto* page = dynamic_cast<CCopyingFilesPage*>(PageByTemplate(kCopyingPage))) {
        page->FlushProgress();
    }
}

void CSnapferryPropSheet::ApplyGroupStatus(const kvGroupStatusAsyncData& record) {
    if (auto* page = dynamic_cast<CCopyingFilesPage*>(PageByTemplate(kCopyingPage))) {
        page->ShowPicture(record.pictureNumber, record.pictureCount, record.pictureName,
                          record.Percent());
    }
}

void CSnapferryPropSheet::ApplyDeleteStatus(const kvDeleteStatusAsyncData& record) {
    if (auto* page = dynamic_cast<CDeletingFilesPage*>(PageByTemplate(kDeletingPage))) {
        page->ShowPicture(record.pictureNumber, record.pictureCount, record.Percent());
    }
}

void CSnapferryPropSheet::ApplyDoneCopy(const kvDoneCopyAsyncData& record) {
    // Runs end in the order they started; a run cancelled before the user tried again ends while
    // the new one copies, and must not move the pages.
    if (++m_runsEnded < m_runsStarted) {
        std::printf("An earlier copy run ended (%s)\n", record.cancelled          ? "cancelled"
                                                        : record.failure.Failed() ? "failed"
                                                                                  : "done");
        return;
    }
    m_uiWatch.Stop();
    m_timerTakesRecords = false;
    FlushCopyProgress();
    lastFailure = record.failure;
    const auto copiedFiles = uint32_t(m_fileStep.CopiedList().size());
    copiedCount = record.picturesCopied;
    videoCount = record.videosCopied;
    std::printf("Copy run %s: %u picture(s) and %u video(s) in %u file(s) in %lld ms; the window "
                "answered within %lld ms\n",
                record.cancelled          ? "cancelled"
                : record.failure.Failed() ? "failed"
                                          : "done",
                copiedCount, videoCount, copiedFiles,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - m_runStart)
                                           .count()),
                static_cast<long long>(m_longestTickWait.count()));
    skippedCount = record.skipped;
    firstSkipped = record.firstSkipped;
    alreadyThereCount = record.alreadyThere;
    if (record.failure.Failed()) {
        std::printf("Copy run failed: %s\n", record.failure.Describe().c_str());
    }
    int page = record.failure.Failed() ? kCancelPage : kFinishPage;
    if (record.cancelled) {
        lastRunCancelled = true;
        if (ActivePage() == PageByTemplate(kCancelPage)) {
            // The cancel page was drawn when the user said yes, before the rollback was done: it
            // must now say whether the copies really went.
            if (auto* cancel = dynamic_cast<CCancelPage*>(ActivePage())) {
                cancel->ShowOutcome();
            }
            return;
        }
        if (ActivePage() != PageByTemplate(kDeletingPage)) {
            // The user went back meanwhile and chooses anew.
            return;
        }
        // A cancel of the delete pass keeps the verified copies, and the run ends as copied.
    }
    if (page == kFinishPage) {
        RunForDeleting run;
        run.deleteWanted = settings.deleteAfterCopy;
        run.cannotDelete = properties.cannotDelete;
        run.deleteStopped = record.cancelled;
        run.copied = copiedFiles;
        run.skipped = skippedCount;
        run.notDeleted = record.originalsKept;
        // Only the files the run was to copy were to go: a video left out, or a sidecar without
        // its picture, stays without being a kept original.
        const FoundSet copiedKinds =
            cameraMode ? FoundSet{} : FilesToCopy(pictures, properties.copyVideos);
        keptOriginals = JudgeKeptOriginals(run, cameraMode ? nullptr : &copiedKinds,
                                           cameraMode ? nullptr : LocalOriginalStillThere);
    }
    if (m_askingToStop) {
        m_heldPage = page;
        return;
    }
    SetActivePage(page);
}

void CSnapferryPropSheet::BeginStopQuestion() {
    m_askingToStop = true;
    m_heldPage = 0;
}

void CSnapferryPropSheet::EndStopQuestion(bool stop) {
    // Records the worker posted before the box closed belong to what the user answered.
    ApplyRecords();
    m_askingToStop = false;
    const int held = std::exchange(m_heldPage, 0);
    if (held == kDeletingPage) {
        // The copies are made and kept. A yes still stops the run: it ends the delete pass, so
        // that the originals stay too, and the finish page says what was copied.
        SetActivePage(kDeletingPage);
        if (stop) {
            StopDeleting();
        }
        return;
    }
    if (held != 0) {
        SetActivePage(held);
        return;
    }
    if (stop && m_runCallback) {
        m_runCallback->Cancel();
        lastFailure = {};
        lastRunCancelled = true;
        SetActivePage(kCancelPage);
    }
}

void CSnapferryPropSheet::ApplySwitchDeletePage(const kvSwitchDeletePageAsyncData& /*record*/) {
    if (m_askingToStop) {
        m_heldPage = kDeletingPage;
        return;
    }
    SetActivePage(kDeletingPage);
}
