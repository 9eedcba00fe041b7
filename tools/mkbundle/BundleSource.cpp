#include "tools/mkbundle/BundleSource.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

void SkipBlanks(std::string_view line, size_t& i) {
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
}

std::string_view Word(std::string_view line, size_t& i) {
    SkipBlanks(line, i);
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) {
        ++i;
    }
    return line.substr(start, i - start);
}

bool Number(std::string_view word, unsigned& value) {
    if (word.empty()) {
        return false;
    }
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && end == word.data() + word.size();
}

// One double-quoted literal starting at line[i]; escapes \n \t \" \\.
bool QuotedText(std::string_view line, size_t& i, std::string& out, std::string& error) {
    SkipBlanks(line, i);
    if (i >= line.size() || line[i] != '"') {
        error = "a text in double quotes is expected";
        return false;
    }
    for (++i; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= line.size()) {
            break;
        }
        switch (line[i]) {
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        case '"':
        case '\\':
            out.push_back(line[i]);
            break;
        default:
            error = std::string("unknown escape \\") + line[i];
            return false;
        }
    }
    error = "the text has no closing double quote";
    return false;
}

bool RestIsEmpty(std::string_view line, size_t i) {
    SkipBlanks(line, i);
    return i == line.size();
}

bool StartsWithQuote(std::string_view line) {
    size_t i = 0;
    SkipBlanks(line, i);
    return i < line.size() && line[i] == '"';
}

} // namespace

BundleSourceResult ReadBundleSource(std::string_view text, const std::string& fileName,
                                    const std::string& baseDirectory,
                                    ResourceBundleWriter& writer) {
    BundleSourceResult result;
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }

    std::string language;
    auto fail = [&](size_t lineIndex, const std::string& reason) {
        result.error = fileName + ":" + std::to_string(lineIndex + 1) + ": " + reason;
        return result;
    };

    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        size_t i = 0;
        const std::string_view keyword = Word(line, i);
        if (keyword.empty() || keyword.front() == '#') {
            continue;
        }
        std::string error;
        if (keyword == "language") {
            language = std::string(Word(line, i));
            if (!bundle_format::IsValidLanguageTag(language) || !RestIsEmpty(line, i)) {
                return fail(n, "'language' takes one lower-case tag such as de-de");
            }
        } else if (keyword == "string" || keyword == "dialog") {
            const bool isDialog = keyword == "dialog";
            unsigned first = 0;
            unsigned second = 0;
            if (!Number(Word(line, i), first) || (isDialog && !Number(Word(line, i), second))) {
                return fail(n, isDialog ? "'dialog' takes a dialog id and a control id"
                                        : "'string' takes a string id");
            }
            if (language.empty()) {
                return fail(n, "no 'language' line before the first text");
            }
            std::string value;
            if (!QuotedText(line, i, value, error) || !RestIsEmpty(line, i)) {
                return fail(n, error.empty() ? "nothing may follow the text" : error);
            }
            // Lines that hold only another quoted literal continue the text.
            const size_t firstLine = n;
            while (n + 1 < lines.size() && StartsWithQuote(lines[n + 1])) {
                ++n;
                size_t k = 0;
                if (!QuotedText(lines[n], k, value, error) || !RestIsEmpty(lines[n], k)) {
                    return fail(n, error.empty() ? "nothing may follow the text" : error);
                }
            }
            const bool added = isDialog ? writer.AddDialogText(language, first, second, value)
                                        : writer.AddText(language, first, value);
            if (!added) {
                return fail(firstLine, writer.Error());
            }
        } else if (keyword == "image") {
            const std::string name(Word(line, i));
            SkipBlanks(line, i);
            std::string relative(line.substr(i));
            while (!relative.empty() && IsBlank(relative.back())) {
                relative.pop_back();
            }
            if (name.empty() || relative.empty()) {
                return fail(n, "'image' takes a name and a file");
            }
            const std::string path = (std::filesystem::path(baseDirectory) / relative).string();
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                return fail(n, "cannot read " + path);
            }
            std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
            if (!writer.AddImage(name, std::move(bytes))) {
                return fail(n, writer.Error());
            }
            result.inputs.push_back(path);
        } else {
            return fail(n, "unknown keyword '" + std::string(keyword) + "'");
        }
    }
    result.ok = true;
    return result;
}

BundleSourceResult ReadBundleSourceFile(const std::string& path, ResourceBundleWriter& writer) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        BundleSourceResult result;
        result.error = path + ": cannot be read";
        return result;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ReadBundleSource(text.str(), path, std::filesystem::path(path).parent_path().string(),
                            writer);
}
