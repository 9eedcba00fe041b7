// The resource manager: owns the resource bundle a program loaded at start-up and looks texts,
// dialog texts and images up in it. When no bundle is loaded, the program's built-in English
// bundle serves.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ResourceBundle;

enum class ProgramKind { Launcher, Wizard };

// The library loaded when LoadResourceLibrary is given no name.
inline constexpr const char* kDefaultResourceLibrary = "ResourceD";
inline constexpr const char* kLauncherResourceLibrary = "dorltRES.dll";
inline constexpr const char* kWizardResourceLibrary = "snfRES.dll";

// Control id under which a bundle keeps a dialog's own caption.
inline constexpr unsigned kDialogCaption = 0;

// The language library for a primary language number (7 German, 10 Spanish, 12 French,
// 16 Italian, 19 Dutch; any other gives English), written as the libraries are named on Windows:
// "languages\de-de.dll".
const char* LanguageLibraryName(unsigned primaryLanguage);

// Maps a library name as the programs write it ("languages\de-de.dll", "dorltRES.dll") onto the
// bundle file in the program directory ("languages/de-de", "dorltRES"): backslashes become
// slashes and a final ".dll" (any case) is dropped. An absolute name is kept as it is.
std::string BundlePathForLibrary(std::string_view libraryName, const std::string& programDirectory);

// UTF-8 text cut after `limit` characters, never inside one.
std::string CutUtf8Text(std::string text, size_t limit);

class kvResourceManager {
public:
    virtual ~kvResourceManager() = default;
    kvResourceManager(const kvResourceManager&) = delete;
    kvResourceManager& operator=(const kvResourceManager&) = delete;

    // Loads a bundle by library name; null means kDefaultResourceLibrary. Returns the bundle, or
    // null when it is missing or not sound. Launcher: the bundle loaded before is released first,
    // so a failed load leaves none loaded. Wizard: a failed load keeps what was loaded. The
    // returned bundle stays valid until the next load (launcher) or the manager's end (wizard).
    virtual const ResourceBundle* LoadResourceLibrary(const char* name) = 0;

    // The loaded bundle, null when none is loaded.
    virtual const ResourceBundle* LoadedBundle() const = 0;

    // The text of a string id in the user's language (exact language and region, then the same
    // language, then English, then the bundle's first language); empty when missing. A loaded
    // bundle that lacks the id gives the empty text, not the built-in one. The launcher's texts
    // are cut to 1023 characters.
    virtual std::string LoadText(unsigned id) const = 0;

    // The text of a dialog's control (kDialogCaption for the dialog's caption), chosen like
    // LoadText; empty when missing.
    virtual std::string LoadDialogText(unsigned dialogId, unsigned controlId) const = 0;

    // PNG bytes of a named image from the loaded bundle, or from the built-in bundle when none is
    // loaded; empty when there is none.
    virtual std::vector<unsigned char> LoadImage(std::string_view name) const = 0;

    // PNG bytes of a named image from the program's built-in bundle, whatever is loaded (the
    // launcher's icons always come from the program).
    virtual std::vector<unsigned char> LoadProgramImage(std::string_view name) const = 0;

    // Launcher: the language library chosen from the user's language at construction. Wizard:
    // empty.
    const std::string& CurrentLibraryName() const { return m_currentLibraryName; }
    ProgramKind Program() const { return m_program; }

protected:
    kvResourceManager(ProgramKind program, std::string currentLibraryName)
        : m_currentLibraryName(std::move(currentLibraryName)), m_program(program) {}

private:
    std::string m_currentLibraryName;
    ProgramKind m_program;
};

// The process-wide instance. CreateResourceManager makes it when none exists (and otherwise
// returns the existing one): the launcher's loads the language library of the user's interface
// language at once; the wizard's starts with none. The built-in bundle is read at creation (a
// built-in bundle that is not sound serves nothing).
kvResourceManager* CreateResourceManager(ProgramKind program,
                                         std::span<const unsigned char> builtinBundle);
kvResourceManager* GetResourceManager();
void DestroyResourceManager();

// The process-wide manager for the life of a scope, with the program's resource library loaded
// when there is one (without it the built-in English serves: nothing to report).
class CResourceManagerScope {
public:
    CResourceManagerScope(ProgramKind program, std::span<const unsigned char> builtinBundle,
                          const char* library) {
        if (kvResourceManager* manager = CreateResourceManager(program, builtinBundle)) {
            manager->LoadResourceLibrary(library);
        }
    }
    ~CResourceManagerScope() { DestroyResourceManager(); }
    CResourceManagerScope(const CResourceManagerScope&) = delete;
    CResourceManagerScope& operator=(const CResourceManagerScope&) = delete;
};
