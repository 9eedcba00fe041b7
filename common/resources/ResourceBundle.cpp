#include "common/resources/ResourceBundle.h"

#include "common/files/RegularFile.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace bundle_format {

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

bool IsLowerAlpha(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool IsValidLanguageTag(std::string_view tag) {
    if (tag.size() < kMinTagLength || tag.size() > kMaxTagLength || !IsLowerAlpha(tag.front()) ||
        tag.back() == '-') {
        return false;
    }
    char previous = 0;
    for (char c : tag) {
        if (!IsLowerAlpha(c) && !IsDigit(c) && c != '-') {
            return false;
        }
        if (c == '-' && previous == '-') {
            return false;
        }
        previous = c;
    }
    return true;
}

bool IsValidImageName(std::string_view name) {
    if (name.empty() || name.size() > kMaxImageNameLength) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return IsLowerAlpha(c) || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == '-' ||
               c == '.';
    });
}

bool IsValidText(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead == 0) {
            return false;
        }
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        uint32_t codePoint = 0;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
            codePoint = lead & 0x1fu;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            codePoint = lead & 0x0fu;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            codePoint = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0u) != 0x80u) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3fu);
        }
        // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) ||
            (codePoint >= 0xd800 && codePoint <= 0xdfff) || codePoint > 0x10ffff) {
            return false;
        }
        i += length;
    }
    return true;
}

uint32_t Crc32(std::span<const unsigned char> bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xffffffffu;
    for (unsigned char b : bytes) {
        crc = table[(crc ^ b) & 0xffu] ^ (crc >> 8);
    }
    return crc ^ 0xffffffffu;
}

bool IsPng(std::span<const unsigned char> bytes) {
    return bytes.size() >= sizeof(kPngSignature) &&
           std::equal(std::begin(kPngSignature), std::end(kPngSignature), bytes.begin());
}

} // namespace bundle_format

using namespace bundle_format;

namespace {

// Reads little-endian fields from a span; every read checks the remaining length first and a
// failed read poisons the reader, so a caller checks once after a group of reads.
class ByteReader {
public:
    explicit ByteReader(std::span<const unsigned char> bytes) : m_bytes(bytes) {}

    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_position == m_bytes.size(); }
    size_t Remaining() const { return m_bytes.size() - m_position; }

    uint8_t U8() { return static_cast<uint8_t>(Little(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Little(4)); }

    std::span<const unsigned char> Bytes(size_t count) {
        if (!m_ok || count > Remaining()) {
            m_ok = false;
            return {};
        }
        auto result = m_bytes.subspan(m_position, count);
        m_position += count;
        return result;
    }

    std::string Text(size_t count) {
        auto bytes = Bytes(count);
        return std::string(bytes.begin(), bytes.end());
    }

private:
    uint64_t Little(size_t count) {
        auto bytes = Bytes(count);
        uint64_t value = 0;
        for (size_t i = bytes.size(); i > 0; --i) {
            value = (value << 8) | bytes[i - 1];
        }
        return value;
    }

    std::span<const unsigned char> m_bytes;
    size_t m_position = 0;
    bool m_ok = true;
};

class ByteWriter {
public:
    void U8(uint8_t v) { m_bytes.push_back(v); }
    void U16(uint16_t v) { Little(v, 2); }
    void U32(uint32_t v) { Little(v, 4); }
    void Bytes(std::span<const unsigned char> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    void Text(std::string_view text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }
    void PatchU32(size_t at, uint32_t v) {
        for (size_t i = 0; i < 4; ++i) {
            m_bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
        }
    }
    size_t Size() const { return m_bytes.size(); }
    std::vector<unsigned char>& Data() { return m_bytes; }

private:
    void Little(uint32_t v, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            m_bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
        }
    }
    std::vector<unsigned char> m_bytes;
};

bool ReadTag(ByteReader& reader, std::string& tag) {
    const size_t length = reader.U8();
    tag = reader.Text(length);
    return reader.Ok() && IsValidLanguageTag(tag);
}

bool ReadCountedText(ByteReader& reader, std::string& text) {
    const size_t length = reader.U32();
    if (!reader.Ok() || length > kMaxTextSize || length > reader.Remaining()) {
        return false;
    }
    text = reader.Text(length);
    return reader.Ok() && IsValidText(text);
}

// Every entry takes at least this many bytes, so a count beyond remaining / size is a lie.
bool CountFits(const ByteReader& reader, uint32_t count, size_t minEntrySize) {
    return count <= reader.Remaining() / minEntrySize;
}

// One language's texts: the tag, the count, then per entry its key (read by `readKey`) and its
// text, keys strictly ascending. A language's table may appear once.
template <class Tables, class ReadKey>
bool ReadTextTable(ByteReader& section, Tables& tables, size_t minEntrySize, std::string& tag,
                   ReadKey readKey) {
    if (!ReadTag(section, tag) || tables.count(tag) != 0) {
        return false;
    }
    const uint32_t count = section.U32();
    if (!section.Ok() || !CountFits(section, count, minEntrySize)) {
        return false;
    }
    auto& table = tables[tag];
    for (uint32_t i = 0; i < count; ++i) {
        const auto key = readKey(section);
        std::string text;
        if (!section.Ok() || !ReadCountedText(section, text) ||
            (!table.empty() && key <= table.rbegin()->first)) {
            return false;
        }
        table.emplace_hint(table.end(), key, std::move(text));
    }
    return true;
}

} // namespace

void ResourceBundle::NoteLanguage(const std::string& tag) {
    if (std::find(m_languages.begin(), m_languages.end(), tag) == m_languages.end()) {
        m_languages.push_back(tag);
    }
}

std::unique_ptr<ResourceBundle> ResourceBundle::Parse(std::span<const unsigned char> bytes) {
    if (bytes.size() < kHeaderSize || bytes.size() > kMaxBundleSize) {
        return nullptr;
    }
    ByteReader header(bytes.first(kHeaderSize));
    auto magic = header.Bytes(4);
    const uint16_t version = header.U16();
    const uint16_t flags = header.U16();
    const uint32_t bodySize = header.U32();
    const uint32_t crc = header.U32();
    if (!std::equal(magic.begin(), magic.end(), std::begin(kMagic)) || version != kVersion ||
        flags != 0 || bodySize != bytes.size() - kHeaderSize) {
        return nullptr;
    }
    const auto body = bytes.subspan(kHeaderSize);
    if (Crc32(body) != crc) {
        return nullptr;
    }

    std::unique_ptr<ResourceBundle> bundle(new ResourceBundle);
    ByteReader reader(body);
    while (!reader.AtEnd()) {
        const uint16_t kind = reader.U16();
        const uint16_t reserved = reader.U16();
        const uint32_t size = reader.U32();
        auto payload = reader.Bytes(size);
        if (!reader.Ok() || reserved != 0) {
            return nullptr;
        }
        ByteReader section(payload);
        if (kind == kStringTable || kind == kDialogTexts) {
            std::string tag;
            const bool ok =
                kind == kStringTable
                    ? ReadTextTable(section, bundle->m_strings, 8, tag,
                                    [](ByteReader& r) { return unsigned{r.U32()}; })
                    : ReadTextTable(section, bundle->m_dialogs, 12, tag, [](ByteReader& r) {
                          const unsigned dialogId = r.U32();
                          const unsigned controlId = r.U32();
                          return std::make_pair(dialogId, controlId);
                      });
            if (!ok) {
                return nullptr;
            }
            bundle->NoteLanguage(tag);
        } else if (kind == kImage) {
            const size_t nameLength = section.U8();
            std::string name = section.Text(nameLength);
            const uint32_t size32 = section.U32();
            if (!section.Ok() || !IsValidImageName(name) || size32 > kMaxImageSize ||
                bundle->m_images.count(name) != 0) {
                return nullptr;
            }
            auto png = section.Bytes(size32);
            if (!section.Ok() || !IsPng(png)) {
                return nullptr;
            }
            bundle->m_images.emplace(std::move(name),
                                     std::vector<unsigned char>(png.begin(), png.end()));
        } else {
            return nullptr;
        }
        if (!section.AtEnd()) {
            return nullptr;
        }
    }
    return bundle;
}

std::unique_ptr<ResourceBundle> ResourceBundle::LoadFile(const std::string& path) {
    // Through the platform's file calls, which take the UTF-8 path as it is on every system.
    const std::optional<std::string> text = ReadRegularFile(path, kMaxBundleSize);
    if (!text) {
        return nullptr;
    }
    return Parse(std::span(reinterpret_cast<const unsigned char*>(text->data()), text->size()));
}

std::vector<std::string> ResourceBundle::LanguageOrder(std::string_view userTag) const {
    std::vector<std::string> order;
    auto add = [&order](const std::string& tag) {
        if (std::find(order.begin(), order.end(), tag) == order.end()) {
            order.push_back(tag);
        }
    };
    auto primaryOf = [](std::string_view tag) { return tag.substr(0, tag.find('-')); };

    for (const auto& tag : m_languages) {
        if (tag == userTag) {
            add(tag);
        }
    }
    if (!userTag.empty()) {
        for (const auto& tag : m_languages) {
            if (primaryOf(tag) == primaryOf(userTag)) {
                add(tag);
            }
        }
    }
    for (const auto& tag : m_languages) {
        if (tag == "en-us") {
            add(tag);
        }
    }
    for (const auto& tag : m_languages) {
        if (primaryOf(tag) == "en") {
            add(tag);
        }
    }
    if (!m_languages.empty()) {
        add(m_languages.front());
    }
    return order;
}

const std::string* ResourceBundle::FindText(std::string_view language, unsigned id) const {
    auto table = m_strings.find(language);
    if (table == m_strings.end()) {
        return nullptr;
    }
    auto it = table->second.find(id);
    return it == table->second.end() ? nullptr : &it->second;
}

const std::string* ResourceBundle::FindDialogText(std::string_view language, unsigned dialogId,
                                                  unsigned controlId) const {
    auto table = m_dialogs.find(language);
    if (table == m_dialogs.end()) {
        return nullptr;
    }
    auto it = table->second.find({dialogId, controlId});
    return it == table->second.end() ? nullptr : &it->second;
}

const std::string* ResourceBundle::FindText(const std::vector<std::string>& order,
                                            unsigned id) const {
    for (const auto& language : order) {
        if (const auto* text = FindText(language, id)) {
            return text;
        }
    }
    return nullptr;
}

const std::string* ResourceBundle::FindDialogText(const std::vector<std::string>& order,
                                                  unsigned dialogId, unsigned controlId) const {
    for (const auto& language : order) {
        if (const auto* text = FindDialogText(language, dialogId, controlId)) {
            return text;
        }
    }
    return nullptr;
}

const std::vector<unsigned char>* ResourceBundle::FindImage(std::string_view name) const {
    auto it = m_images.find(name);
    return it == m_images.end() ? nullptr : &it->second;
}

const std::map<unsigned, std::string>*
ResourceBundle::StringTable(std::string_view language) const {
    auto it = m_strings.find(language);
    return it == m_strings.end() ? nullptr : &it->second;
}

const std::map<std::pair<unsigned, unsigned>, std::string>*
ResourceBundle::DialogTexts(std::string_view language) const {
    auto it = m_dialogs.find(language);
    return it == m_dialogs.end() ? nullptr : &it->second;
}

bool ResourceBundleWriter::Fail(std::string reason) {
    m_error = std::move(reason);
    return false;
}

bool ResourceBundleWriter::AddText(const std::string& language, unsigned id,
                                   const std::string& text) {
    if (!IsValidLanguageTag(language)) {
        return Fail("invalid language tag '" + language + "'");
    }
    if (text.size() > kMaxTextSize || !IsValidText(text)) {
        return Fail("text " + std::to_string(id) + " is too long or not UTF-8");
    }
    if (!m_strings[language].emplace(id, text).second) {
        return Fail("text " + std::to_string(id) + " of " + language + " given twice");
    }
    if (std::find(m_languages.begin(), m_languages.end(), language) == m_languages.end()) {
        m_languages.push_back(language);
    }
    return true;
}

bool ResourceBundleWriter::AddDialogText(const std::string& language, unsigned dialogId,
                                         unsigned controlId, const std::string& text) {
    const std::string what =
        "dialog text " + std::to_string(dialogId) + "/" + std::to_string(controlId);
    if (!IsValidLanguageTag(language)) {
        return Fail("invalid language tag '" + language + "'");
    }
    if (text.size() > kMaxTextSize || !IsValidText(text)) {
        return Fail(what + " is too long or not UTF-8");
    }
    if (!m_dialogs[language].emplace(std::make_pair(dialogId, controlId), text).second) {
        return Fail(what + " of " + language + " given twice");
    }
    if (std::find(m_languages.begin(), m_languages.end(), language) == m_languages.end()) {
        m_languages.push_back(language);
    }
    return true;
}

bool ResourceBundleWriter::AddImage(const std::string& name, std::vector<unsigned char> png) {
    if (!IsValidImageName(name)) {
        return Fail("invalid image name '" + name + "'");
    }
    if (png.size() > kMaxImageSize || !IsPng(png)) {
        return Fail("image " + name + " is not a PNG file or larger than the limit");
    }
    if (!m_images.emplace(name, std::move(png)).second) {
        return Fail("image " + name + " given twice");
    }
    return true;
}

std::vector<unsigned char> ResourceBundleWriter::Finish() {
    ByteWriter out;
    out.Bytes(kMagic);
    out.U16(kVersion);
    out.U16(0);
    out.U32(0); // body size, patched below
    out.U32(0); // CRC, patched below

    auto section = [&out](SectionKind kind, auto&& writePayload) {
        out.U16(kind);
        out.U16(0);
        const size_t sizeAt = out.Size();
        out.U32(0);
        writePayload();
        out.PatchU32(sizeAt, static_cast<uint32_t>(out.Size() - sizeAt - 4));
    };
    auto textTable = [&](SectionKind kind, const std::string& language, const auto& table,
                         auto&& writeKey) {
        if (table.empty()) {
            return;
        }
        section(kind, [&] {
            out.U8(static_cast<uint8_t>(language.size()));
            out.Text(language);
            out.U32(static_cast<uint32_t>(table.size()));
            for (const auto& entry : table) {
                writeKey(entry.first);
                out.U32(static_cast<uint32_t>(entry.second.size()));
                out.Text(entry.second);
            }
        });
    };
    for (const auto& language : m_languages) {
        textTable(kStringTable, language, m_strings[language], [&](unsigned id) { out.U32(id); });
        textTable(kDialogTexts, language, m_dialogs[language],
                  [&](const std::pair<unsigned, unsigned>& key) {
                      out.U32(key.first);
                      out.U32(key.second);
                  });
    }
    for (const auto& image : m_images) {
        section(kImage, [&] {
            out.U8(static_cast<uint8_t>(image.first.size()));
            out.Text(image.first);
            out.U32(static_cast<uint32_t>(image.second.size()));
            out.Bytes(image.second);
        });
    }
    if (out.Size() > kMaxBundleSize) {
        Fail("the bundle would be larger than the limit");
        return {};
    }
    auto& bytes = out.Data();
    const auto body = std::span<const unsigned char>(bytes).subspan(kHeaderSize);
    out.PatchU32(8, static_cast<uint32_t>(body.size()));
    out.PatchU32(12, Crc32(body));
    return std::move(bytes);
}
