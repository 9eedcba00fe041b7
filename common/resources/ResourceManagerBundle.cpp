#include "common/resources/ResourceManagerBundle.h"

#include "common/resources/ProgramDirectory.h"
#include "common/resources/UserLanguage.h"

namespace {

// The launcher fetches its texts into a buffer of 1024 characters.
constexpr size_t kLauncherTextLimit = 1023;

std::unique_ptr<kvResourceManagerBundle> g_manager;

} // namespace

kvResourceManagerBundle::kvResourceManagerBundle(ProgramKind program,
                                                 std::string currentLibraryName,
                                                 std::span<const unsigned char> builtinBundle,
                                                 std::string programDirectory,
                                                 std::string userLanguageTag)
    : kvResourceManager(program, std::move(currentLibraryName)),
      m_programDirectory(std::move(programDirectory)),
      m_userLanguageTag(std::move(userLanguageTag)),
      m_builtin(ResourceBundle::Parse(builtinBundle)) {
    if (m_builtin) {
        m_builtinOrder = m_builtin->LanguageOrder(m_userLanguageTag);
    }
}

std::unique_ptr<kvResourceManagerBundle>
kvResourceManagerBundle::Create(ProgramKind program, std::span<const unsigned char> builtinBundle,
                                std::string programDirectory, std::string userLanguageTag,
                                unsigned primaryLanguage) {
    std::string libraryName =
        program == ProgramKind::Launcher ? LanguageLibraryName(primaryLanguage) : "";
    std::unique_ptr<kvResourceManagerBundle> manager(
        new kvResourceManagerBundle(program, libraryName, builtinBundle,
                                    std::move(programDirectory), std::move(userLanguageTag)));
    if (program == ProgramKind::Launcher) {
        manager->LoadResourceLibrary(libraryName.c_str());
    }
    return manager;
}

const ResourceBundle* kvResourceManagerBundle::LoadResourceLibrary(const char* name) {
    const std::string path =
        BundlePathForLibrary(name != nullptr ? name : kDefaultResourceLibrary, m_programDirectory);
    std::lock_guard lock(m_mutex);
    if (Program() == ProgramKind::Launcher) {
        // A failed load leaves no library loaded, not the previous one.
        m_loaded.reset();
        m_loadedOrder.clear();
    }
    std::shared_ptr<const ResourceBundle> bundle = ResourceBundle::LoadFile(path);
    if (!bundle) {
        return nullptr;
    }
    if (Program() == ProgramKind::Wizard) {
        m_kept.push_back(bundle);
    }
    m_loadedOrder = bundle->LanguageOrder(m_userLanguageTag);
    m_loaded = std::move(bundle);
    return m_loaded.get();
}

const ResourceBundle* kvResourceManagerBundle::LoadedBundle() const {
    std::lock_guard lock(m_mutex);
    return m_loaded.get();
}

kvResourceManagerBundle::Serving kvResourceManagerBundle::CurrentlyServing() const {
    std::lock_guard lock(m_mutex);
    if (m_loaded) {
        return {m_loaded, m_loadedOrder};
    }
    return {m_builtin, m_builtinOrder};
}

std::string kvResourceManagerBundle::LoadText(unsigned id) const {
    const Serving serving = CurrentlyServing();
    if (!serving.bundle) {
        return {};
    }
    const std::string* text = serving.bundle->FindText(serving.order, id);
    if (text == nullptr) {
        return {};
    }
    if (Program() == ProgramKind::Launcher) {
        return CutUtf8Text(*text, kLauncherTextLimit);
    }
    return *text;
}

std::string kvResourceManagerBundle::LoadDialogText(unsigned dialogId, unsigned controlId) const {
    const Serving serving = CurrentlyServing();
    if (!serving.bundle) {
        return {};
    }
    const std::string* text = serving.bundle->FindDialogText(serving.order, dialogId, controlId);
    return text != nullptr ? *text : std::string();
}

std::vector<unsigned char> kvResourceManagerBundle::LoadImage(std::string_view name) const {
    const Serving serving = CurrentlyServing();
    if (!serving.bundle) {
        return {};
    }
    const auto* image = serving.bundle->FindImage(name);
    return image != nullptr ? *image : std::vector<unsigned char>();
}

std::vector<unsigned char> kvResourceManagerBundle::LoadProgramImage(std::string_view name) const {
    if (!m_builtin) {
        return {};
    }
    const auto* image = m_builtin->FindImage(name);
    return image != nullptr ? *image : std::vector<unsigned char>();
}

kvResourceManager* CreateResourceManager(ProgramKind program,
                                         std::span<const unsigned char> builtinBundle) {
    if (!g_manager) {
        const UserLanguage language = ReadUserLanguage();
        g_manager =
            kvResourceManagerBundle::Create(program, builtinBundle, ProgramDirectoryOfThisProcess(),
                                            language.tag, language.primaryLanguage);
    }
    return g_manager.get();
}

kvResourceManager* GetResourceManager() {
    return g_manager.get();
}

void DestroyResourceManager() {
    g_manager.reset();
}
