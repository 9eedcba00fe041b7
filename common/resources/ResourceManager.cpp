#include "common/resources/ResourceManager.h"

#include "common/files/Paths.h"

#include <cctype>

const char* LanguageLibraryName(unsigned primaryLanguage) {
    switch (primaryLanguage) {
    case 7:
        return "languages\\de-de.dll";
    case 10:
        return "languages\\es-es.dll";
    case 12:
        return "languages\\fr-fr.dll";
    case 16:
        return "languages\\it-it.dll";
    case 19:
        return "languages\\nl-nl.dll";
    default:
        return "languages\\en-us.dll";
    }
}

std::string BundlePathForLibrary(std::string_view libraryName,
                                 const std::string& programDirectory) {
    // Library names are written with backslashes; the path takes the platform's separator.
    std::string name(libraryName);
    for (char& c : name) {
        if (IsPathSeparator(c) || c == '\\') {
            c = kPathSeparator;
        }
    }
    constexpr std::string_view kLibrarySuffix = ".dll";
    if (name.size() > kLibrarySuffix.size()) {
        bool hasSuffix = true;
        const size_t start = name.size() - kLibrarySuffix.size();
        for (size_t i = 0; i < kLibrarySuffix.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(name[start + i])) != kLibrarySuffix[i]) {
                hasSuffix = false;
            }
        }
        if (hasSuffix) {
            name.erase(start);
        }
    }
    if (IsAbsolutePath(name)) {
        return name;
    }
    return JoinPath(programDirectory, name);
}

std::string CutUtf8Text(std::string text, size_t limit) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xc0u) != 0x80u) {
            if (characters == limit) {
                text.erase(i);
                break;
            }
            ++characters;
        }
    }
    return text;
}
