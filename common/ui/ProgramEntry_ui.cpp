#include "common/ui/ProgramEntry_ui.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// wxEntryCleanup on every path once the toolkit has started.
class CStartedToolkit {
public:
    CStartedToolkit() = default;
    CStartedToolkit(const CStartedToolkit&) = delete;
    CStartedToolkit& operator=(const CStartedToolkit&) = delete;
    ~CStartedToolkit() { wxEntryCleanup(); }
};

} // namespace

std::string ToolkitStartFailureLine(const char* argv0) {
    std::string_view name = argv0 != nullptr && argv0[0] != '\0' ? argv0 : "velmora";
    if (const auto slash = name.rfind('/'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::string line(name);
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        line += ": cannot start: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    } else if (IsSet("DISPLAY")) {
        line += ": cannot start: cannot open the display \"";
        line += std::getenv("DISPLAY");
        line += "\"";
    } else {
        line += ": cannot start: cannot open the display";
    }
    return line;
}

int RunWxProgram(int argc, char** argv, int failureStatus) {
    bool started = false;
    {
        // The toolkit's own complaint would come as time-stamped log lines; ours replaces it.
        wxLogNull quiet;
        started = wxEntryStart(argc, argv);
    }
    if (!started) {
        std::fprintf(stderr, "%s\n", ToolkitStartFailureLine(argc > 0 ? argv[0] : nullptr).c_str());
        return failureStatus;
    }
    CStartedToolkit toolkit;
    if (wxTheApp == nullptr || !wxTheApp->CallOnInit()) {
        return failureStatus;
    }
    const int status = wxTheApp->OnRun();
    wxTheApp->OnExit();
    return status;
}
