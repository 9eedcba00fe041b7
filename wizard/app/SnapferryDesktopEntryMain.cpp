// Writes the wizard's desktop entry, the one "/register" writes, for the installation to ship:
//   snapferry-desktop-entry OUTPUT PROGRAM_PATH
// The texts are the program's built-in English, as a registration without a bundle has them.
#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"
#include "wizard/app/DesktopEntry.h"
#include "wizard/app/DesktopRegistration.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: snapferry-desktop-entry OUTPUT PROGRAM_PATH\n");
        return 2;
    }
    CResourceManagerScope resources(ProgramKind::Wizard, WizardBuiltinBundle(), nullptr);
    const WizardEntryTexts texts = LoadWizardEntryTexts();
    const std::filesystem::path output(argv[1]);
    std::error_code ignored;
    std::filesystem::create_directories(output.parent_path(), ignored);
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << WizardDesktopEntryText(texts.name, texts.comment, kWizardIconName, argv[2]);
    file.close();
    if (!file) {
        std::fprintf(stderr, "snapferry-desktop-entry: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
