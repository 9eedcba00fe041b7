// Local file paths, written the platform's way. The one place that knows the separator: '/' on
// Linux; '\' on Windows, where '/' separates too.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

constexpr bool IsPathSeparator(char c) {
    return c == kPathSeparator || c == '/';
}

// folder, a separator unless folder is empty or already ends with one, then name.
std::string JoinPath(std::string_view folder, std::string_view name);

// Appends a separator unless the path is empty or already ends with one.
void AppendSeparator(std::string& folder);

// The last part of a path: what follows its last separator (the whole path without one).
std::string_view FileNameOf(std::string_view path);

// A path that does not depend on the current folder: "/..." on Linux; "C:\...", "\\server\..."
// or "\..." on Windows.
bool IsAbsolutePath(std::string_view path);
