// Reads the text sources of resource bundles (resources/README.md describes them) into a bundle
// writer.
#pragma once

#include "common/resources/ResourceBundle.h"

#include <string>
#include <string_view>
#include <vector>

struct BundleSourceResult {
    bool ok = false;
    // "file:line: reason" when not ok.
    std::string error;
    // Files the bundle was made from besides the sources (images), for build dependencies.
    std::vector<std::string> inputs;
};

// Adds what the source text declares to `writer`. Image paths are relative to `baseDirectory`.
// `fileName` only names the source in error messages.
BundleSourceResult ReadBundleSource(std::string_view text, const std::string& fileName,
                                    const std::string& baseDirectory, ResourceBundleWriter& writer);

// Reads the file and calls ReadBundleSource with its directory as the base.
BundleSourceResult ReadBundleSourceFile(const std::string& path, ResourceBundleWriter& writer);
