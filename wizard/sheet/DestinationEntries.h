// The destinations the folder page offers: for every folder of the chosen library, four ways of
// naming the group's folder below it. Texts use '/' between folders, as share paths and smb://
// addresses do.
#pragma once

#include "wizard/sheet/WizardSettings.h"
#include "wizard/transfer/ShareAccess.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Naming types, for a folder F, a group name N and a date D.
enum DestinationNaming : int {
    kNamingFolderAndName = 0,     // "F/N"
    kNamingFolderDateAndName = 1, // "F/D, N"
    kNamingFolderAndDate = 2,     // "F/D"
    kNamingFolderOnly = 3,        // "F"
};

struct DestinationEntry {
    std::string text;
    int type = kNamingFolderAndName;

    bool operator==(const DestinationEntry&) const = default;
};

// What follows the folder in an entry of `type`: "/N", "/D, N", "/D" or nothing (also for a
// type that is not a naming type).
std::string DestinationSuffix(int type, const std::string& groupName, const std::string& date);

// The four entries of every sub-folder, types 0 to 3 each, in listing order, except that the
// entries of `defaultFolder` come first when it is one of the sub-folders (exact comparison).
std::vector<DestinationEntry> BuildDestinationEntries(const std::vector<std::string>& subFolders,
                                                      const std::string& defaultFolder,
                                                      const std::string& groupName,
                                                      const std::string& date);

// Filling the folder page's lists: an empty or blank group name becomes the default one, then the
// entries of the library the settings choose, with its default picture folder (from the branding)
// first; in the user's web folder, its picture folder ("webfolderphotos", "Pictures" by default).
std::vector<DestinationEntry> FillDestinationEntries(WizardSettings& settings,
                                                     const std::vector<std::string>& subFolders,
                                                     const std::string& date,
                                                     bool webFolder = false);

// The library share the lists come from, as ListSubFolders takes it: "//ADDRESS/SHARE".
std::string LibraryNetworkFolder(const std::string& serverAddress, bool personalLibrary);

// "%Y-%m-%d" of `when` in local time; empty when it cannot be formatted.
std::string FormatLocalDate(std::time_t when);
// Today's date, as FormatLocalDate.
std::string TodayText();

// The folder a destination text lies in: the text up to its first '/', or the whole text when
// it has none or starts with one.
std::string FolderNameFromDestination(std::string_view text);

// The characters a group name may not hold, in the order the message lists them.
inline constexpr const char* kInvalidGroupNameCharacters = "\\/:*?\"<>|!;#";
// True when no byte of the name is one of kInvalidGroupNameCharacters (an empty name passes).
bool IsValidGroupName(std::string_view name);
// What the folder page shows when the group name is refused.
std::string InvalidGroupNameMessage();

// The longest group name, in characters. The name becomes part of a folder name ("DATE, NAME")
// and of file names ("NAME 12345.jpeg") that the server holds to 255 bytes, and the saved
// settings read texts of at most 255 bytes: 60 characters of up to four bytes fit all of them.
inline constexpr size_t kGroupNameCharacterLimit = 60;

enum class GroupNameProblem {
    None,
    BadCharacter, // one of kInvalidGroupNameCharacters
    DotName,      // "." or "..": a folder name that names another folder
    TooLong,      // over kGroupNameCharacterLimit, or not UTF-8
};
GroupNameProblem CheckGroupName(std::string_view name);
// The folder page's message for a refused name; empty for None.
std::string GroupNameMessage(GroupNameProblem problem);

// The name a run uses for what the user typed: an empty or blank box names the group as the
// destination list already does, kDefaultGroupName.
std::string EffectiveGroupName(std::string_view typed);

// The folder a destination creates for the group (its part after the library folder), when a
// plain file of that name is among `parentEntries`, the entries of the folder it goes in
// (compared without letter case, as the server does): that name, else empty. The run could not
// make its folder there.
std::string FileInTheWay(std::string_view destination,
                         const std::vector<ShareEntry>& parentEntries);
// The folder page's message for it.
std::string FileInTheWayMessage(const std::string& name, const std::string& folder);
