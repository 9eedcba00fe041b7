#include "common/registry/RegistryHive.h"

#include "common/text/HexDigits.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr char32_t kReplacementCharacter = 0xFFFD;
// The registry editor wraps hex data so that no line passes 80 columns.
constexpr std::size_t kHexLineWidth = 76;

std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += length;
    return codePoint;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

char32_t UpperCase(char32_t c) {
    if (c >= 'a' && c <= 'z') {
        return c - 0x20;
    }
    if (c < 0x80) {
        return c;
    }
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c == 0x3C2) { // final sigma
        return 0x3A3;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    // Latin Extended-A pairs each capital with the small letter after it, the capital on an
    // even code point in some runs and on an odd one in others.
    const bool evenCapitals =
        (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapitals && c % 2 == 1) || (oddCapitals && c % 2 == 0)) {
        return c - 1;
    }
    return c;
}

std::string_view TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           FoldRegistryName(text.substr(0, prefix.size())) == FoldRegistryName(prefix);
}

std::optional<uint32_t> ParseHexNumber(std::string_view digits, std::size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) {
        return std::nullopt;
    }
    uint32_t number = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<uint32_t>(digit);
    }
    return number;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    text = TrimSpaces(text);
    if (text.empty()) {
        return bytes;
    }
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        const auto token = TrimSpaces(text.substr(start, comma - start));
        const auto byte = ParseHexNumber(token, 2);
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(*byte));
        if (comma == std::string_view::npos) {
            return bytes;
        }
        start = comma + 1;
    }
}

// A quoted name or text, with \\ and \" the only escapes; pos is on the opening quote and ends
// after the closing one.
std::optional<std::string> ParseQuoted(std::string_view line, std::size_t& pos) {
    std::string text;
    ++pos;
    while (true) {
        const auto special = line.find_first_of("\\\"", pos);
        if (special == std::string_view::npos) {
            return std::nullopt;
        }
        text.append(line.substr(pos, special - pos));
        pos = special + 1;
        if (line[special] == '"') {
            return text;
        }
        if (pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) {
            return std::nullopt;
        }
        text += line[pos++];
    }
}

std::optional<RegistryValue> ParseValueData(std::string_view data) {
    RegistryValue value;
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = ParseQuoted(data, pos);
        if (!text || !TrimSpaces(data.substr(pos)).empty()) {
            return std::nullopt;
        }
        value.type = RegistryType::Sz;
        value.data.assign(text->begin(), text->end());
        value.data.push_back(0);
        return value;
    }
    if (StartsWithNoCase(data, "dword:")) {
        const auto number = ParseHexNumber(data.substr(6), 8);
        if (!number) {
            return std::nullopt;
        }
        value.type = RegistryType::Dword;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<uint8_t>(*number >> shift));
        }
        return value;
    }
    std::string_view hexData;
    if (StartsWithNoCase(data, "hex:")) {
        value.type = RegistryType::Binary;
        hexData = data.substr(4);
    } else if (StartsWithNoCase(data, "hex(")) {
        const auto close = data.find("):", 4);
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const auto type = ParseHexNumber(data.substr(4, close - 4), 8);
        if (!type) {
            return std::nullopt;
        }
        value.type = *type;
        hexData = data.substr(close + 2);
    } else {
        return std::nullopt;
    }
    auto bytes = ParseHexBytes(hexData);
    if (!bytes) {
        return std::nullopt;
    }
    value.data = std::move(*bytes);
    if (RegistryType::IsText(value.type)) {
        if (auto text = Utf16LeToUtf8(value.data)) {
            value.data.assign(text->begin(), text->end());
        } else {
            value.rawUtf16 = true;
        }
    }
    return value;
}

bool HasLineBreakOrZero(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool StartsEntry(std::string_view line) {
    return !line.empty() && (line.front() == '[' || line.front() == '"' || line.front() == '@' ||
                             line.front() == ';');
}

std::string_view LastLine(std::string_view text) {
    const auto lastBreak = text.rfind('\n');
    return TrimSpaces(lastBreak == std::string_view::npos ? text : text.substr(lastBreak + 1));
}

// A file saved by hand often lacks the final line break. Its last line is trusted only when a
// cut could not have produced it: a key line or a quoted text closes with a bracket or a quote,
// and a number has all its eight digits.
bool EndsCompletely(std::string_view lastLine) {
    if (lastLine.empty()) {
        return true;
    }
    if (lastLine.back() == ']' || lastLine.back() == '"') {
        return true;
    }
    const auto equals = lastLine.rfind('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const auto data = TrimSpaces(lastLine.substr(equals + 1));
    return StartsWithNoCase(data, "dword:") && data.size() == 6 + 8;
}

class CHiveParser {
public:
    CHiveParser(std::string_view text, std::string_view rootName)
        : text_(text), foldedRootName_(FoldRegistryName(rootName)) {}

    RegistryHiveText Parse() {
        if (text_.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
            text_.remove_prefix(kUtf8ByteOrderMark.size());
        }
        if (text_.empty()) {
            return std::move(result_);
        }
        if (text_.back() != '\n' && !EndsCompletely(LastLine(text_))) {
            result_.whole = false; // cut off in the middle of its last line
        }
        SplitLines();
        std::size_t index = 0;
        if (TrimSpaces(lines_[0]) == kHeader) {
            index = 1;
        } else {
            result_.whole = false;
        }
        for (; index < lines_.size(); ++index) {
            ParseLine(index);
        }
        return std::move(result_);
    }

private:
    void SplitLines() {
        std::size_t start = 0;
        while (start < text_.size()) {
            auto end = text_.find('\n', start);
            if (end == std::string_view::npos) {
                end = text_.size();
            }
            auto line = text_.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            lines_.push_back(line);
            start = end + 1;
        }
    }

    // index moves past the continuation lines the entry takes.
    void ParseLine(std::size_t& index) {
        const auto raw = lines_[index];
        const auto line = TrimSpaces(raw);
        if (line.empty()) {
            return;
        }
        if (HasLineBreakOrZero(line)) {
            result_.whole = false; // a stray carriage return, or a zero byte
            return;
        }
        if (line.front() == ';') {
            (current_ != nullptr ? current_ : &result_.root)->comments.emplace_back(raw);
            return;
        }
        std::string entry(line);
        while (entry.back() == '\\') {
            // A line that starts an entry of its own is never taken as a continuation, so
            // that an entry cut off before it does not swallow it.
            if (index + 1 >= lines_.size() || StartsEntry(TrimSpaces(lines_[index + 1]))) {
                result_.whole = false;
                return;
            }
            entry.pop_back();
            entry += TrimSpaces(lines_[++index]);
            if (entry.empty() || HasLineBreakOrZero(entry)) {
                result_.whole = false;
                return;
            }
        }
        bool understood = false;
        if (entry.front() == '[') {
            understood = ParseKeyLine(entry);
        } else if (entry.front() == '"' || entry.front() == '@') {
            understood = ParseValueLine(entry);
        }
        if (!understood) {
            result_.whole = false;
        }
    }

    bool ParseKeyLine(std::string_view line) {
        current_ = nullptr;
        if (line.size() < 2 || line.back() != ']') {
            return false;
        }
        const auto inner = line.substr(1, line.size() - 2);
        const auto separator = inner.find('\\');
        if (FoldRegistryName(inner.substr(0, separator)) != foldedRootName_) {
            return false; // another root, or a line that deletes a key ("[-...]")
        }
        std::vector<std::string_view> path;
        if (separator != std::string_view::npos) {
            auto components = SplitRegistryKeyPath(inner.substr(separator + 1));
            if (!components || components->empty()) {
                return false;
            }
            path = std::move(*components);
        }
        current_ = &CreateRegistryKey(result_.root, path);
        return true;
    }

    bool ParseValueLine(std::string_view line) {
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            auto quoted = ParseQuoted(line, pos);
            if (!quoted || quoted->size() > kMaxRegistryValueNameLength) {
                return false;
            }
            name = std::move(*quoted);
        }
        const auto rest = TrimSpaces(line.substr(pos));
        if (rest.empty() || rest.front() != '=') {
            return false;
        }
        auto value = ParseValueData(TrimSpaces(rest.substr(1)));
        if (!value || current_ == nullptr) {
            return false;
        }
        value->name = std::move(name);
        current_->SetValue(std::move(*value));
        return true;
    }

    std::string_view text_;
    std::string foldedRootName_;
    std::vector<std::string_view> lines_;
    RegistryHiveText result_;
    CRegistryKey* current_ = nullptr;
};

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

// Text that the quoted form holds exactly: one terminator at the end and no line break.
bool FitsQuotedForm(const RegistryValue& value) {
    if (value.type != RegistryType::Sz || value.rawUtf16 || value.data.empty() ||
        value.data.back() != 0) {
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size() - 1);
    return !HasLineBreakOrZero(text);
}

void AppendHexBytes(std::string& out, std::size_t lineStart, const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart > kHexLineWidth) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

bool AppendValue(std::string& out, const RegistryValue& value) {
    if (HasLineBreakOrZero(value.name)) {
        return false;
    }
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    if (FitsQuotedForm(value)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
    } else if (value.type == RegistryType::Dword && value.data.size() == 4) {
        char digits[16];
        const uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(digits, sizeof digits, "%08x", number);
        out += "dword:";
        out += digits;
    } else if (value.type == RegistryType::Binary) {
        out += "hex:";
        AppendHexBytes(out, lineStart, value.data);
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
        out += prefix;
        if (RegistryType::IsText(value.type) && !value.rawUtf16) {
            const auto wide = Utf8ToUtf16Le(std::string_view(
                reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            if (!wide) {
                return false;
            }
            AppendHexBytes(out, lineStart, *wide);
        } else {
            AppendHexBytes(out, lineStart, value.data);
        }
    }
    out += '\n';
    return true;
}

bool AppendKey(std::string& out, const CRegistryKey& key, const std::string& path) {
    if (HasLineBreakOrZero(key.Name())) {
        return false;
    }
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& comment : key.comments) {
        if (HasLineBreakOrZero(comment)) {
            return false;
        }
        out += comment;
        out += '\n';
    }
    for (const auto& value : key.Values()) {
        if (!AppendValue(out, value)) {
            return false;
        }
    }
    out += '\n';
    for (std::size_t i = 0; i < key.SubKeyCount(); ++i) {
        const auto& subKey = key.SubKey(i);
        if (!AppendKey(out, subKey, path + '\\' + subKey.Name())) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string FoldRegistryName(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    std::size_t pos = 0;
    while (pos < name.size()) {
        const char c = name[pos];
        if (static_cast<unsigned char>(c) < 0x80) {
            folded += c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c;
            ++pos;
        } else if (const auto codePoint = DecodeUtf8(name, pos)) {
            AppendUtf8(folded, UpperCase(*codePoint));
        } else {
            folded += name[pos++];
        }
    }
    return folded;
}

CRegistryKey::CRegistryKey(std::string name)
    : name_(std::move(name)), foldedName_(FoldRegistryName(name_)) {}

const RegistryValue* CRegistryKey::FindValue(std::string_view name) const {
    const auto found = valuePositions_.find(FoldRegistryName(name));
    return found == valuePositions_.end() ? nullptr : &values_[found->second];
}

void CRegistryKey::SetValue(RegistryValue value) {
    const auto [position, inserted] =
        valuePositions_.try_emplace(FoldRegistryName(value.name), values_.size());
    if (inserted) {
        values_.push_back(std::move(value));
        return;
    }
    auto& existing = values_[position->second];
    value.name = std::move(existing.name);
    existing = std::move(value);
}

bool CRegistryKey::DeleteValue(std::string_view name) {
    const auto found = valuePositions_.find(FoldRegistryName(name));
    if (found == valuePositions_.end()) {
        return false;
    }
    const std::size_t removed = found->second;
    valuePositions_.erase(found);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(removed));
    for (auto& entry : valuePositions_) {
        if (entry.second > removed) {
            --entry.second;
        }
    }
    return true;
}

std::size_t CRegistryKey::SubKeyPosition(std::string_view foldedName) const {
    const auto found =
        std::lower_bound(subKeys_.begin(), subKeys_.end(), foldedName,
                         [](const std::unique_ptr<CRegistryKey>& key, std::string_view name) {
                             return key->foldedName_ < name;
                         });
    return static_cast<std::size_t>(found - subKeys_.begin());
}

const CRegistryKey* CRegistryKey::FindSubKey(std::string_view name) const {
    const auto folded = FoldRegistryName(name);
    const auto position = SubKeyPosition(folded);
    if (position < subKeys_.size() && subKeys_[position]->foldedName_ == folded) {
        return subKeys_[position].get();
    }
    return nullptr;
}

CRegistryKey* CRegistryKey::FindSubKey(std::string_view name) {
    return const_cast<CRegistryKey*>(std::as_const(*this).FindSubKey(name));
}

CRegistryKey& CRegistryKey::AddSubKey(std::string_view name) {
    const auto folded = FoldRegistryName(name);
    const auto position = SubKeyPosition(folded);
    if (position < subKeys_.size() && subKeys_[position]->foldedName_ == folded) {
        return *subKeys_[position];
    }
    const auto inserted = subKeys_.insert(subKeys_.begin() + static_cast<std::ptrdiff_t>(position),
                                          std::make_unique<CRegistryKey>(std::string(name)));
    return **inserted;
}

bool CRegistryKey::RemoveSubKey(std::string_view name) {
    const auto folded = FoldRegistryName(name);
    const auto position = SubKeyPosition(folded);
    if (position >= subKeys_.size() || subKeys_[position]->foldedName_ != folded) {
        return false;
    }
    subKeys_.erase(subKeys_.begin() + static_cast<std::ptrdiff_t>(position));
    return true;
}

std::optional<std::vector<std::string_view>> SplitRegistryKeyPath(std::string_view path) {
    std::vector<std::string_view> components;
    if (path.empty()) {
        return components;
    }
    std::size_t start = 0;
    while (true) {
        const auto separator = path.find('\\', start);
        const auto component = path.substr(start, separator - start);
        if (component.empty() || component.size() > kMaxRegistryKeyNameLength) {
            return std::nullopt;
        }
        components.push_back(component);
        if (separator == std::string_view::npos) {
            return components;
        }
        start = separator + 1;
    }
}

const CRegistryKey* FindRegistryKey(const CRegistryKey& root,
                                    const std::vector<std::string_view>& path) {
    const CRegistryKey* key = &root;
    for (const auto component : path) {
        key = key->FindSubKey(component);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

CRegistryKey* FindRegistryKey(CRegistryKey& root, const std::vector<std::string_view>& path) {
    return const_cast<CRegistryKey*>(FindRegistryKey(std::as_const(root), path));
}

CRegistryKey& CreateRegistryKey(CRegistryKey& root, const std::vector<std::string_view>& path) {
    CRegistryKey* key = &root;
    for (const auto component : path) {
        key = &key->AddSubKey(component);
    }
    return *key;
}

RegistryHiveText ParseRegistryHive(std::string_view text, std::string_view rootName) {
    return CHiveParser(text, rootName).Parse();
}

std::optional<std::string> SerializeRegistryHive(const CRegistryKey& root,
                                                 std::string_view rootName) {
    std::string out(kHeader);
    out += "\n\n";
    for (const auto& comment : root.comments) {
        if (HasLineBreakOrZero(comment)) {
            return std::nullopt;
        }
        out += comment;
        out += '\n';
    }
    if (!root.Values().empty()) {
        out += '[';
        out += rootName;
        out += "]\n";
        for (const auto& value : root.Values()) {
            if (!AppendValue(out, value)) {
                return std::nullopt;
            }
        }
        out += '\n';
    }
    for (std::size_t i = 0; i < root.SubKeyCount(); ++i) {
        const auto& key = root.SubKey(i);
        if (!AppendKey(out, key, std::string(rootName) + '\\' + key.Name())) {
            return std::nullopt;
        }
    }
    return out;
}

namespace {

// Reads UTF-16LE code units; a surrogate that is not part of a pair gives nothing.
class CUtf16Reader {
public:
    explicit CUtf16Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool AtEnd() const { return pos_ + 1 >= bytes_.size(); }

    std::optional<char32_t> Next() {
        const char32_t unit = Unit();
        if (unit < 0xD800 || unit > 0xDFFF) {
            return unit;
        }
        if (unit >= 0xDC00 || AtEnd()) {
            return std::nullopt;
        }
        const std::size_t saved = pos_;
        const char32_t low = Unit();
        if (low < 0xDC00 || low > 0xDFFF) {
            pos_ = saved; // the next unit is read on its own
            return std::nullopt;
        }
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }

private:
    char32_t Unit() {
        const char32_t unit = bytes_[pos_] | (bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return unit;
    }

    const std::vector<uint8_t>& bytes_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<std::string> Utf16LeToUtf8(const std::vector<uint8_t>& bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string text;
    CUtf16Reader reader(bytes);
    while (!reader.AtEnd()) {
        const auto codePoint = reader.Next();
        if (!codePoint) {
            return std::nullopt;
        }
        AppendUtf8(text, *codePoint);
    }
    return text;
}

std::string Utf16LeToUtf8Lossy(const std::vector<uint8_t>& bytes) {
    std::string text;
    CUtf16Reader reader(bytes);
    while (!reader.AtEnd()) {
        AppendUtf8(text, reader.Next().value_or(kReplacementCharacter));
    }
    if (bytes.size() % 2 != 0) {
        AppendUtf8(text, kReplacementCharacter);
    }
    return text;
}

std::optional<std::vector<uint8_t>> Utf8ToUtf16Le(std::string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    const auto appendUnit = [&bytes](char32_t unit) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto codePoint = DecodeUtf8(text, pos);
        if (!codePoint) {
            return std::nullopt;
        }
        if (*codePoint >= 0x10000) {
            appendUnit(0xD800 + ((*codePoint - 0x10000) >> 10));
            appendUnit(0xDC00 + ((*codePoint - 0x10000) & 0x3FF));
        } else {
            appendUnit(*codePoint);
        }
    }
    return bytes;
}
