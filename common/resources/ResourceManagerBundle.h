// The resource manager over resource bundle files in the program directory.
#pragma once

#include "common/resources/ResourceBundle.h"
#include "common/resources/ResourceManager.h"

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class kvResourceManagerBundle final : public kvResourceManager {
public:
    // The launcher's manager loads the language library of `userLanguageTag`'s table entry
    // (`libraryName`) at once; the wizard's starts with none and an empty library name.
    static std::unique_ptr<kvResourceManagerBundle>
    Create(ProgramKind program, std::span<const unsigned char> builtinBundle,
           std::string programDirectory, std::string userLanguageTag, unsigned primaryLanguage);

    const ResourceBundle* LoadResourceLibrary(const char* name) override;
    const ResourceBundle* LoadedBundle() const override;
    std::string LoadText(unsigned id) const override;
    std::string LoadDialogText(unsigned dialogId, unsigned controlId) const override;
    std::vector<unsigned char> LoadImage(std::string_view name) const override;
    std::vector<unsigned char> LoadProgramImage(std::string_view name) const override;

private:
    kvResourceManagerBundle(ProgramKind program, std::string currentLibraryName,
                            std::span<const unsigned char> builtinBundle,
                            std::string programDirectory, std::string userLanguageTag);

    struct Serving {
        std::shared_ptr<const ResourceBundle> bundle;
        std::vector<std::string> order;
    };
    // The loaded bundle, or the built-in one when none is loaded. Loads happen at start-up on the
    // main thread, lookups from any thread: a lookup holds its own reference, so a load never
    // pulls a bundle from under it.
    Serving CurrentlyServing() const;

    const std::string m_programDirectory;
    const std::string m_userLanguageTag;
    std::shared_ptr<const ResourceBundle> m_builtin;
    std::vector<std::string> m_builtinOrder;

    mutable std::mutex m_mutex;
    std::shared_ptr<const ResourceBundle> m_loaded;
    std::vector<std::string> m_loadedOrder;
    // The wizard never frees a bundle it loaded once.
    std::vector<std::shared_ptr<const ResourceBundle>> m_kept;
};
