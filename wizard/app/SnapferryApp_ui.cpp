#include "wizard/app/SnapferryApp_ui.h"

#include "common/branding/Branding.h"
#include "common/cli/InformationOptions.h"
#include "common/registry/Registry.h"
#include "common/resources/ResourceManager.h"
#include "common/ui/BrandedImage_ui.h"
#include "common/ui/WxText_ui.h"
#include "resources/BuiltinBundles.h"
#include "wizard/app/DesktopRegistration.h"
#include "wizard/app/SingleInstance.h"
#include "wizard/app/WizardHelp.h"
#include "wizard/app/linux/GioCameraLinks.h"
#include "wizard/app/linux/SourceIdentity.h"
#include "wizard/app/linux/VolumeInfo.h"
#include "wizard/camera/CameraFinder.h"
#include "wizard/camera/CameraTransfer.h"
#include "wizard/camera/linux/GioCameraRelease.h"
#include "wizard/camera/linux/GphotoCamera.h"
#include "wizard/search/FindFilesDlg_ui.h"
#include "wizard/search/FindFilesStep.h"
#include "wizard/search/MediaKinds.h"
#include "wizard/search/SearchEventLoop_ui.h"
#include "wizard/sheet/PageFlow.h"
#include "wizard/sheet/RunOutcome.h"
#include "wizard/sheet/SheetPage_ui.h"
#include "wizard/sheet/SnapferryPropSheet_ui.h"

#include <wx/init.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include <unistd.h>

namespace {

constexpr unsigned kCaption = 116;
constexpr unsigned kUsage = 134;
constexpr unsigned kFolderMissing = 175;    // "The folder %s does not exist."
constexpr unsigned kFolderUnreadable = 176; // "The folder %s cannot be read: %s."
constexpr unsigned kFoundText = 198;        // "Found: %d picture(s)", as the search counts
constexpr unsigned kUnusableLocation = 272; // "%s is neither a folder nor a camera that ..."
constexpr unsigned kCameraNotFound = 273;   // "The camera %s cannot be found. ..."
// A fixed text, as the program always had it.
constexpr const char* kAlreadyRunning =
    "Only once instance of this program is to be run at a time.";

void ShowError(const std::string& text) {
    // The text also goes to standard output, where a log of the run finds it.
    std::printf("Message: %s\n", text.c_str());
    wxMessageBox(ToWxText(text), ToWxText(LoadBrandedText(kCaption)), wxOK | wxICON_ERROR, nullptr);
}

long long MillisecondsBetween(std::chrono::steady_clock::time_point from,
                              std::chrono::steady_clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// The process's resident memory, for the start-up figures; 0 when it cannot be read.
long ResidentKibibytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return 0;
    }
    char line[256];
    long kibibytes = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmRSS: %ld kB", &kibibytes) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kibibytes;
}

const char* PageName(int templateId) {
    switch (templateId) {
    case kWelcomePage:
        return "welcome";
    case kDevicePage:
        return "device";
    case kFolderPage:
        return "folder";
    case kCopyingPage:
        return "copying";
    case kDeletingPage:
        return "deleting";
    case kFinishPage:
        return "finish";
    case kCancelPage:
        return "cancel";
    }
    return "unknown";
}

// Shows the prepared sheet until the user finishes or cancels it; how the run ended. Every page
// shown is named in a line: whoever drives the wizard from outside (a script, the end-to-end
// tests) learns from it that the page is there and its keys may follow.
int RunSheet(CSnapferryPropSheet& sheet) {
    sheet.onPageShown = [earlier = std::move(sheet.onPageShown)](int page) {
        if (earlier) {
            earlier(page);
        }
        std::printf("Page shown: %s\n", PageName(page));
    };
    const int answer = sheet.Run();
    std::printf("Wizard closed: %s, %u picture(s) copied",
                answer == wxID_OK ? "finished" : "cancelled", sheet.copiedCount);
    if (sheet.videoCount > 0) {
        std::printf(", %u video(s)", sheet.videoCount);
    }
    if (sheet.alreadyThereCount > 0) {
        std::printf(", %u already on the server", sheet.alreadyThereCount);
    }
    if (sheet.skippedCount > 0) {
        std::printf(", %u passed over", sheet.skippedCount);
    }
    std::printf("\n");
    // The copy happened once the finish page showed, whichever way the sheet was closed then.
    const CSheetPage* last = sheet.ActivePage();
    switch (WizardEndFor(last != nullptr ? last->TemplateId() : 0, sheet.lastFailure.Failed())) {
    case WizardEnd::Done:
        return kExitDone;
    case WizardEnd::Failed:
        return kExitFailed;
    case WizardEnd::Cancelled:
        break;
    }
    return kExitCancelled;
}

// The program's full path, which the desktop entry's Exec line needs.
std::string OwnExecutable(const std::string& typed) {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, size_t(length)) : typed;
}

int Register(const WizardCommand& command, const std::string& programPath) {
    const RegistrationResult result = command.mode == WizardMode::Register
                                          ? RegisterWizard(OwnExecutable(programPath))
                                          : UnregisterWizard();
    // Nothing is shown; the exit status and one line say how it went.
    std::printf("%s: %s%s%s\n", command.mode == WizardMode::Register ? "Register" : "Unregister",
                result.ok ? "done" : "failed", result.diagnostic.empty() ? "" : ": ",
                result.diagnostic.c_str());
    return result.ok ? kExitDone : kExitFailed;
}

} // namespace

CSnapferryApp::CSnapferryApp(std::string programPath, WizardCommand command)
    : m_programPath(std::move(programPath)), m_command(std::move(command)) {}

bool CSnapferryApp::OnInit() {
    m_exitStatus = RunWizard();
    // No main loop of its own: OnRun only hands the status back.
    return true;
}

int CSnapferryApp::RunWizard() {
    RegisterBrandedImageHandlers();
    std::unique_ptr<CAbstractSingleInstance> instance = CreateWizardSingleInstance();
    const SingleInstanceResult lock = instance->Acquire();
    if (lock.status == SingleInstanceStatus::AlreadyRunning) {
        ShowError(kAlreadyRunning);
        return kExitAlreadyRunning;
    }
    if (lock.status == SingleInstanceStatus::CouldNotCheck) {
        // A stray file must never lock the user out: go on, and say so.
        std::printf("Single instance not checked: %s\n", lock.diagnostic.c_str());
    }
    if (m_command.mode == WizardMode::NamedCamera) {
        CGioCameraLinks links;
        m_command = ResolveNamedCamera(std::move(m_command), links);
    }
    switch (m_command.mode) {
    case WizardMode::Usage:
        ShowError(FormatBrandedText(kUsage, m_programPath));
        return kExitUsage;
    case WizardMode::UnusableLocation:
        ShowError(FormatBrandedText(kUnusableLocation, m_command.location));
        return kExitFailed;
    case WizardMode::NamedCamera:
        // The desktop knows no camera of that name (any more): it was unplugged meanwhile.
        ShowError(FormatBrandedText(kCameraNotFound, m_command.cameraName));
        return kExitFailed;
    case WizardMode::Folder:
        return RunFolderMode();
    case WizardMode::Camera:
        return RunCameraMode();
    case WizardMode::Register:
    case WizardMode::Unregister:
        return Register(m_command, m_programPath);
    }
    return kExitUsage;
}

int CSnapferryApp::RunFolderMode() {
    const std::string& folder = m_command.folder;
    const FolderVolume volume = GetFolderVolume(folder);
    if (volume.status == FolderVolumeStatus::Missing) {
        ShowError(FormatBrandedText(kFolderMissing, folder));
        return kExitFailed;
    }
    if (volume.status == FolderVolumeStatus::Unreadable) {
        ShowError(FormatBrandedText(kFolderUnreadable, folder, std::strerror(volume.error)));
        return kExitFailed;
    }

    const auto searchStart = std::chrono::steady_clock::now();
    CWxSearchEventLoop loop;
    CFindFilesStatusWindow statusWindow;
    CFindFilesStep search(loop);
    for (const std::string& extension : SearchExtensions()) {
        search.AddExtension(extension);
    }
    search.SetStatusWindow(&statusWindow);
    search.SetFoundText([](size_t count) { return FormatBrandedText(kFoundText, count); });
    search.Start(folder);
    if (search.Result() == CFindFilesStep::kResultCancelled) {
        return kExitCancelled;
    }
    // Sidecars alone are not copied: a folder of them has nothing to copy.
    const FoundSet& found = search.Found();
    if (std::all_of(found.begin(), found.end(), [](const FoundPicture& picture) {
            return MediaKindOfName(picture.name) == MediaKind::Sidecar;
        })) {
        std::printf("No pictures found in %s\n", folder.c_str());
        return kExitNothingToDo;
    }
    const auto searchEnd = std::chrono::steady_clock::now();

    CRegistryScope registry;
    wxBitmap header;
    LoadBrandedBitmap(header, "IDB_HEADER");
    CSnapferryPropSheet sheet(header, false);
    sheet.LoadSavedSettings();
    sheet.pictures = search.TakeFound();
    sheet.noPictures = sheet.pictures.empty();
    sheet.unreachablePictures = search.Unreachable();
    if (sheet.unreachablePictures > 0) {
        std::printf("The search could not reach %u folder(s) or picture(s)\n",
                    sheet.unreachablePictures);
    }
    sheet.properties.sourceDisplayName = volume.displayName;
    sheet.properties.driveText = volume.driveText;
    sheet.properties.cannotDelete = volume.cannotDelete;
    // A record that cannot be kept never stops the copy: the wizard then copies every picture.
    RecordOpening opening = RecordOpening::Unavailable;
    sheet.copyRecord = CCopyRecord::Open(DefaultCopyRecordPath(), opening);
    sheet.copyRecordReplaced = opening == RecordOpening::Replaced;
    if (sheet.copyRecord) {
        CVolumeIdentifier volumes;
        sheet.pictureFacts = DescribePictures(sheet.pictures, volumes);
        sheet.CheckAlreadyCopiedOnSavedServer();
    }
    sheet.AddPages();
    SetTopWindow(&sheet);
    sheet.onPageShown = [&, first = true](int /*page*/) mutable {
        if (!first) {
            return;
        }
        first = false;
        const auto now = std::chrono::steady_clock::now();
        std::printf("Sheet shown: %zu picture(s), search %lld ms, from its end %lld ms, "
                    "resident %ld KiB\n",
                    sheet.pictures.size(), MillisecondsBetween(searchStart, searchEnd),
                    MillisecondsBetween(searchEnd, now), ResidentKibibytes());
    };
    return RunSheet(sheet);
}

int CSnapferryApp::RunCameraMode() {
    // Start-up finds the camera here, on the UI thread; afterwards only the copy runs use the
    // system, on their workers, one run at a time.
    auto system = std::make_shared<CGphotoCameraSystem>();
    auto release = std::make_shared<CGioCameraRelease>();
    const CameraFind find = FindCamera(m_command.deviceId, *system, *release);
    if (find.status == CameraFindStatus::EndSilently) {
        std::printf("No camera on %s\n", m_command.deviceId.c_str());
        return kExitNothingToDo;
    }
    if (find.status == CameraFindStatus::Unavailable) {
        ShowError(find.reason);
        return kExitFailed;
    }

    CRegistryScope registry;
    wxBitmap header;
    LoadBrandedBitmap(header, "IDB_HEADER");
    CSnapferryPropSheet sheet(header, true);
    sheet.LoadSavedSettings();
    sheet.noPictures = find.noPictures;
    sheet.cameraDeviceId = find.deviceId;
    sheet.properties.sourceDisplayName = find.displayName;
    sheet.properties.driveText = find.driveText;
    sheet.properties.cannotDelete = find.cannotDelete;
    // The camera's pictures are looked up in the record by the copy run, which lists them.
    RecordOpening opening = RecordOpening::Unavailable;
    sheet.copyRecord = CCopyRecord::Open(DefaultCopyRecordPath(), opening);
    sheet.copyRecordReplaced = opening == RecordOpening::Replaced;
    sheet.FileStep().SetCameraPictures(CameraPicturesThrough(system, release));
    sheet.AddPages();
    SetTopWindow(&sheet);
    return RunSheet(sheet);
}

int RunSnapferry(int argc, char** argv) {
    // Diagnostic lines keep their order among those of the programs the wizard starts.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (const std::optional<std::string> information = WizardInformationText(argc, argv)) {
        return PrintInformation(*information, "snapferry", kExitFailed);
    }
    const std::string programPath = argc > 0 && argv[0] != nullptr ? argv[0] : "snapferry";
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        arguments.emplace_back(argv[index]);
    }
    const WizardCommand command = ParseWizardCommandLine(arguments);
    if (command.mode == WizardMode::Register || command.mode == WizardMode::Unregister) {
        // Installers register without a display; nothing is shown either way.
        CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(),
                                        kWizardResourceLibrary);
        return Register(command, programPath);
    }

    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(),
                                    kWizardResourceLibrary);
    wxApp::SetInstance(new CSnapferryApp(programPath, command));
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "snapferry: the window system cannot be reached (no display?)\n");
        return kExitFailed;
    }
    auto* app = static_cast<CSnapferryApp*>(wxTheApp);
    app->CallOnInit();
    const int status = app->ExitStatus();
    wxEntryCleanup();
    return status;
}
