// Resource bundles: data files that carry string tables per language, the texts of dialog
// controls per language, and named PNG images. resources/FORMAT.md describes the file layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bundle_format {

inline constexpr unsigned char kMagic[4] = {'V', 'M', 'R', 'B'};
inline constexpr uint16_t kVersion = 1;
inline constexpr size_t kHeaderSize = 16;

enum SectionKind : uint16_t {
    kStringTable = 1,
    kDialogTexts = 2,
    kImage = 3,
};

// Limits that keep a damaged or hostile bundle from costing more than a sound one ever needs.
inline constexpr size_t kMaxBundleSize = 64u << 20;
inline constexpr size_t kMaxTextSize = 32u << 10;
inline constexpr size_t kMaxImageSize = 16u << 20;
inline constexpr size_t kMinTagLength = 2;
inline constexpr size_t kMaxTagLength = 35;
inline constexpr size_t kMaxImageNameLength = 64;

// "de-de", "en", "zh-hant-tw": lower-case letters, digits and dashes, starting with a letter.
bool IsValidLanguageTag(std::string_view tag);
// Letters, digits, '_', '-' and '.'.
bool IsValidImageName(std::string_view name);
// Well-formed UTF-8 without NUL characters.
bool IsValidText(std::string_view text);
// Starts with the eight-byte PNG signature.
bool IsPng(std::span<const unsigned char> bytes);

uint32_t Crc32(std::span<const unsigned char> bytes);

} // namespace bundle_format

// A parsed bundle. Parsing checks the whole file before anything of it is used: a damaged,
// truncated or over-long bundle yields no bundle at all, never a part of one.
class ResourceBundle {
public:
    static std::unique_ptr<ResourceBundle> Parse(std::span<const unsigned char> bytes);
    // Null when the file is missing, unreadable or not a sound bundle.
    static std::unique_ptr<ResourceBundle> LoadFile(const std::string& path);

    // Languages in the order the bundle first names them.
    const std::vector<std::string>& Languages() const { return m_languages; }

    // The order in which a user of the language `userTag` ("de-de", "de", or empty) is served:
    // the exact language, then the bundle's languages with the same primary language, then
    // English ("en-us" first), then the bundle's first language.
    std::vector<std::string> LanguageOrder(std::string_view userTag) const;

    // Null when the language does not hold the id.
    const std::string* FindText(std::string_view language, unsigned id) const;
    const std::string* FindDialogText(std::string_view language, unsigned dialogId,
                                      unsigned controlId) const;
    // The first language of `order` that holds the id decides.
    const std::string* FindText(const std::vector<std::string>& order, unsigned id) const;
    const std::string* FindDialogText(const std::vector<std::string>& order, unsigned dialogId,
                                      unsigned controlId) const;

    const std::vector<unsigned char>* FindImage(std::string_view name) const;

    const std::map<unsigned, std::string>* StringTable(std::string_view language) const;
    const std::map<std::pair<unsigned, unsigned>, std::string>*
    DialogTexts(std::string_view language) const;
    const std::map<std::string, std::vector<unsigned char>, std::less<>>& Images() const {
        return m_images;
    }

private:
    ResourceBundle() = default;
    void NoteLanguage(const std::string& tag);

    std::vector<std::string> m_languages;
    std::map<std::string, std::map<unsigned, std::string>, std::less<>> m_strings;
    std::map<std::string, std::map<std::pair<unsigned, unsigned>, std::string>, std::less<>>
        m_dialogs;
    std::map<std::string, std::vector<unsigned char>, std::less<>> m_images;
};

// Builds the bytes of a bundle. Every Add checks its input and returns false, with the reason in
// Error(), for what a reader would refuse (duplicates, bad tags or names, limits).
class ResourceBundleWriter {
public:
    bool AddText(const std::string& language, unsigned id, const std::string& text);
    bool AddDialogText(const std::string& language, unsigned dialogId, unsigned controlId,
                       const std::string& text);
    bool AddImage(const std::string& name, std::vector<unsigned char> png);

    // Empty (with Error() set) when the result would exceed the bundle limit.
    std::vector<unsigned char> Finish();
    const std::string& Error() const { return m_error; }

private:
    bool Fail(std::string reason);

    std::vector<std::string> m_languages;
    std::map<std::string, std::map<unsigned, std::string>> m_strings;
    std::map<std::string, std::map<std::pair<unsigned, unsigned>, std::string>> m_dialogs;
    std::map<std::string, std::vector<unsigned char>> m_images;
    std::string m_error;
};
