#include "wizard/app/DesktopRegistration.h"

#include "common/resources/ResourceManager.h"

namespace {

constexpr unsigned kHandlerNameText = 136;
constexpr unsigned kHandlerDescriptionText = 137;

} // namespace

WizardEntryTexts LoadWizardEntryTexts() {
    WizardEntryTexts texts;
    // The event registration has always taken these texts as they stand, "%p" and all.
    if (const kvResourceManager* resources = GetResourceManager()) {
        texts.name = resources->LoadText(kHandlerNameText);
        texts.comment = resources->LoadText(kHandlerDescriptionText);
    }
    return texts;
}

RegistrationResult RegisterWizard(const std::string& programPath) {
    WizardEntryTexts texts = LoadWizardEntryTexts();
    if (texts.name.empty()) {
        texts.name = programPath.substr(programPath.find_last_of('/') + 1);
    }
    return CreateDesktopRegistration()->Register(programPath, texts);
}

RegistrationResult UnregisterWizard() {
    return CreateDesktopRegistration()->Unregister();
}
