// "/register" and "/unregister": make the wizard the program the desktop starts for a camera or
// a memory card, or stop it being that. Nothing is shown; the result tells the exit status.
#pragma once

#include <memory>
#include <string>

struct RegistrationResult {
    bool ok = false;
    // When not ok, a diagnostic line naming what failed.
    std::string diagnostic;
};

// The entry's visible texts: the handler's name and its description.
struct WizardEntryTexts {
    std::string name;
    std::string comment;
};

class CAbstractDesktopRegistration {
public:
    virtual ~CAbstractDesktopRegistration() = default;
    CAbstractDesktopRegistration(const CAbstractDesktopRegistration&) = delete;
    CAbstractDesktopRegistration& operator=(const CAbstractDesktopRegistration&) = delete;

    // Installs the entry that starts `programPath` (absolute) and makes it the default for
    // cameras and cards, remembering the default it replaces. Registering again keeps the
    // default remembered the first time.
    virtual RegistrationResult Register(const std::string& programPath,
                                        const WizardEntryTexts& texts) = 0;
    // Removes the entry and its default, and gives back the default it replaced, if any; a
    // default the user has since chosen is kept. Succeeds when nothing is registered.
    virtual RegistrationResult Unregister() = 0;

protected:
    CAbstractDesktopRegistration() = default;
};

// This platform's registration for the running process: the user's own when run by a user, the
// system-wide one when run by root (the installer).
std::unique_ptr<CAbstractDesktopRegistration> CreateDesktopRegistration();

// Texts 136 (name) and 137 (description) as the resource manager has them, without the product
// name put in. With no resource manager or no name text, the name is empty.
WizardEntryTexts LoadWizardEntryTexts();

// What the program calls for "/register" and "/unregister". `programPath` is the running
// program's full path (not argv[0] as typed); a relative path fails. When the name text is
// missing, the program's file name stands in, so that the entry stays valid.
RegistrationResult RegisterWizard(const std::string& programPath);
RegistrationResult UnregisterWizard();
