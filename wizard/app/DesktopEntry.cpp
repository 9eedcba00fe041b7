#include "wizard/app/DesktopEntry.h"

namespace {

std::string_view TrimmedRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimmedLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

} // namespace

std::string EscapeDesktopEntryValue(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        switch (const char c = value[i]) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case ' ':
            escaped += i == 0 ? "\\s" : " ";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string UnescapeDesktopEntryValue(std::string_view value) {
    std::string plain;
    plain.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
        case 's':
            plain += ' ';
            break;
        case 'n':
            plain += '\n';
            break;
        case 't':
            plain += '\t';
            break;
        case 'r':
            plain += '\r';
            break;
        default:
            plain += next;
        }
    }
    return plain;
}

std::string QuoteDesktopExecArgument(std::string_view argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string WizardDesktopEntryText(const std::string& name, const std::string& comment,
                                   const std::string& icon, const std::string& programPath) {
    std::string text = "[Desktop Entry]\nType=Application\n";
    text += "Name=" + EscapeDesktopEntryValue(name) + "\n";
    if (!comment.empty()) {
        text += "Comment=" + EscapeDesktopEntryValue(comment) + "\n";
    }
    text += "Icon=" + EscapeDesktopEntryValue(icon) + "\n";
    text += "Exec=" + EscapeDesktopEntryValue(QuoteDesktopExecArgument(programPath)) +
            " /autoplay %u\n";
    text += "MimeType=" + std::string(kCameraContentType) + ";\n";
    text += "NoDisplay=true\n";
    return text;
}

std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key) {
    bool inMainGroup = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line =
            TrimmedRight(text.substr(0, end == std::string_view::npos ? text.size() : end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || line.starts_with('#')) {
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos && TrimmedRight(line.substr(0, equals)) == key) {
            return UnescapeDesktopEntryValue(TrimmedLeft(line.substr(equals + 1)));
        }
    }
    return std::nullopt;
}
