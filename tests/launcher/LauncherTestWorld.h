// The surroundings of a launcher run in a test: settings.ini, the two registry hives and the
// recording opener, all inside one temporary folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Points the program directory and both registry hives into `folder` (program/, machine/,
// user/), writes program/settings.ini and keeps any proxy away from loopback requests.
void PrepareLauncherWorld(const std::filesystem::path& folder, const std::string& settings);

// Makes the recording opener (tests/support/recording-opener.sh) the default for the schemes,
// all of http, https, smb, dav and davs when none are given; it writes folder/opened.log.
bool InstallRecordingOpener(const std::filesystem::path& folder,
                            const std::vector<std::string>& schemes = {});

// What the recording opener received so far, one address each.
std::vector<std::string> OpenedAddresses(const std::filesystem::path& folder);

// A value under the product key in one hive; "<none>" for a value that is not there.
void SetProductValue(int root, const char* name, const char* value);
std::string ProductValue(int root, const char* name);
