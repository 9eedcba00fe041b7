// Registration on freedesktop desktops: the wizard's desktop entry in an applications folder,
// and its name as the default for x-content/image-dcf in mimeapps.list.
#pragma once

#include "wizard/app/DesktopRegistration.h"

#include <string>

struct DesktopRegistrationPaths {
    std::string applicationsDirectory; // where the wizard's desktop entry goes
    std::string mimeAppsListPath;      // the mimeapps.list that names the default
};

// A user's: $XDG_DATA_HOME/applications (default ~/.local/share/applications) and
// $XDG_CONFIG_HOME/mimeapps.list (default ~/.config). System-wide: the first entry of
// $XDG_DATA_DIRS (default /usr/local/share) with /applications, and the first entry of
// $XDG_CONFIG_DIRS (default /etc/xdg) with /mimeapps.list. Relative entries are ignored, as the
// base directory rules say. Empty paths when no home directory can be found.
DesktopRegistrationPaths UserRegistrationPaths();
DesktopRegistrationPaths SystemRegistrationPaths();

// Both files are replaced atomically (a synced temporary file beside them, renamed over them),
// so a crash leaves the old file or the new one; a file that is a symbolic link is replaced at
// its target. A mimeapps.list that cannot be read is never rewritten. The entry is written
// before the default names it and removed after the default no longer does; when the default
// cannot be written, the entry is put back as it was (removed, when there was none).
class CDesktopRegistrationXdg : public CAbstractDesktopRegistration {
public:
    explicit CDesktopRegistrationXdg(DesktopRegistrationPaths paths);

    RegistrationResult Register(const std::string& programPath,
                                const WizardEntryTexts& texts) override;
    RegistrationResult Unregister() override;

    std::string EntryPath() const;

private:
    DesktopRegistrationPaths paths_;
};
