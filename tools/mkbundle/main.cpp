// mkbundle: makes a resource bundle from text sources.
//
//   mkbundle --output FILE [--cpp-function NAME] [--depfile FILE] SOURCE...
//   mkbundle --output FILE --desktop-entry TEMPLATE [--depfile FILE] SOURCE...
//
// Without --cpp-function it writes the bundle itself; with it, a C++ source that defines
// `std::span<const unsigned char> NAME()` returning the bundle's bytes, for a program's built-in
// bundle. The output is written to a temporary file and renamed into place, so a failed run
// never leaves a half-written bundle behind.
//
// With --desktop-entry it writes the desktop entry TEMPLATE with its "Key=@ID@" lines expanded
// from the texts of the sources, branded with the default product name (DesktopEntry.h).
#include "common/branding/Branding.h"
#include "tools/mkbundle/BundleSource.h"
#include "tools/mkbundle/DesktopEntry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr, "usage: mkbundle --output FILE [--cpp-function NAME | --desktop-entry "
                         "TEMPLATE] [--depfile FILE] SOURCE...\n");
    return 2;
}

bool WriteAtomically(const std::string& path, const std::string& content) {
    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), error);
    }
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

std::string CppSource(const std::string& function, const std::vector<unsigned char>& bytes) {
    std::string out = "// Made by mkbundle from the resource sources; do not edit.\n"
                      "#include <span>\n\n"
                      "namespace {\n\n"
                      "alignas(8) const unsigned char kBundle[] = {\n";
    char number[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(number, sizeof number, "%u,", static_cast<unsigned>(bytes[i]));
        out += number;
        if (i % 24 == 23) {
            out += '\n';
        }
    }
    out += "\n};\n\n} // namespace\n\n";
    out += "std::span<const unsigned char> " + function + "() { return kBundle; }\n";
    return out;
}

// Make's dependency syntax: spaces in paths are escaped.
std::string DepfilePath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::string output;
    std::string cppFunction;
    std::string depfile;
    std::string desktopTemplate;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--output" || arg == "--cpp-function" || arg == "--depfile" ||
             arg == "--desktop-entry") &&
            i + 1 < argc) {
            std::string& target = arg == "--output"         ? output
                                  : arg == "--cpp-function" ? cppFunction
                                  : arg == "--depfile"      ? depfile
                                                            : desktopTemplate;
            target = argv[++i];
        } else if (!arg.empty() && arg.front() == '-') {
            return Usage();
        } else {
            sources.push_back(arg);
        }
    }
    if (output.empty() || sources.empty() || (!cppFunction.empty() && !desktopTemplate.empty())) {
        return Usage();
    }

    ResourceBundleWriter writer;
    std::vector<std::string> inputs = sources;
    for (const auto& source : sources) {
        const BundleSourceResult result = ReadBundleSourceFile(source, writer);
        if (!result.ok) {
            std::fprintf(stderr, "mkbundle: %s\n", result.error.c_str());
            return 1;
        }
        inputs.insert(inputs.end(), result.inputs.begin(), result.inputs.end());
    }
    const std::vector<unsigned char> bytes = writer.Finish();
    if (bytes.empty()) {
        std::fprintf(stderr, "mkbundle: %s\n", writer.Error().c_str());
        return 1;
    }
    std::string content;
    if (!desktopTemplate.empty()) {
        std::ifstream in(desktopTemplate, std::ios::binary);
        const std::string templateText((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
        const auto texts = ResourceBundle::Parse(bytes);
        if (!in || texts == nullptr) {
            std::fprintf(stderr, "mkbundle: cannot read %s\n", desktopTemplate.c_str());
            return 1;
        }
        const DesktopEntryResult entry =
            ExpandDesktopEntry(templateText, *texts, kDefaultProductName);
        if (!entry.ok) {
            std::fprintf(stderr, "mkbundle: %s:%zu: %s\n", desktopTemplate.c_str(), entry.line,
                         entry.error.c_str());
            return 1;
        }
        content = entry.text;
        inputs.push_back(desktopTemplate);
    } else if (cppFunction.empty()) {
        content.assign(bytes.begin(), bytes.end());
    } else {
        content = CppSource(cppFunction, bytes);
    }
    if (!WriteAtomically(output, content)) {
        std::fprintf(stderr, "mkbundle: cannot write %s\n", output.c_str());
        return 1;
    }
    if (!depfile.empty()) {
        std::string rule = DepfilePath(output) + ":";
        for (const auto& input : inputs) {
            rule.append(" ").append(DepfilePath(std::filesystem::absolute(input).string()));
        }
        rule += "\n";
        if (!WriteAtomically(depfile, rule)) {
            std::fprintf(stderr, "mkbundle: cannot write %s\n", depfile.c_str());
            return 1;
        }
    }
    return 0;
}
