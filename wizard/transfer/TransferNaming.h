// Where copies go and what they are called: the destination folder on the library share, the
// numbered names of a group, and the scan for the highest number already in the folder. Shared by
// the copy step and the camera step.
#pragma once

#include "wizard/transfer/ShareAccess.h"
#include "wizard/transfer/TransferProperties.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The library share of the job: "familylibrary" or "mylibrary" from the branding settings, or
// the web folder's name when the job goes to the user's web folder.
std::string LibraryShareOf(const CTransferProperties& properties);

// The destination folder as a share path: the library share, then the location's parts.
std::string DestinationFolder(const CTransferProperties& properties);

// The extension of a file name, from its last dot, exactly as written; empty without a dot.
std::string_view FileExtension(std::string_view fileName);

// "<group> <number>" followed by the extension. Never cut: a cut name would drop the number and
// make every copy collide; a name the server cannot take fails with its reason instead.
std::string DestinationName(const std::string& groupName, int64_t number,
                            std::string_view extension);

// The name a copy is written under until all of it is there: ".~<final name>.snapferry", in the
// same folder. It follows from the final name, so two wizards aiming at one name meet at one
// temporary name, which only one of them can create: holding it reserves the final name. A
// leading "._" would be refused by shares that veto such names, hence the "~".
std::string TemporaryCopyName(std::string_view finalName);
// Whether a name is such a temporary name (letter case ignored, as shares may change it).
bool IsTemporaryCopyName(std::string_view name);
// The temporary path of a copy whose share path is `finalPath`.
std::string TemporaryCopyPath(std::string_view finalPath);
// The other way: the final path a temporary path stands for; any other path as it is.
std::string FinalCopyPath(std::string_view path);

// The number a name "<group> <n>.<extension>" carries when it belongs to the group's pictures,
// whatever the picture's kind (group and extension compared without letter case, as the share
// compares names): the text between the last space and the last dot read as an unsigned decimal
// number, as a signed int. Nothing when the name does not belong or carries no number.
std::optional<int> NumberOfGroupName(std::string_view name, std::string_view groupName);

// The last number used by the group's pictures in `folder`, of any kind, so that the next copy
// takes the number after it: the highest number found; -1 when such files exist but none carries a
// number (numbering starts at 0); 0 when there are none or the folder cannot be listed (a
// diagnostic line goes to standard output then; numbering starts at 1). Without a session (a server
// that cannot take files) the folder cannot be listed.
int FindLastNumber(CAbstractShareSession* session, const std::string& folder,
                   const std::string& groupName);
// The listing FindLastNumber reads, with its diagnostic line when it fails.
ShareResult ListForNumbering(CAbstractShareSession* session, const std::string& folder,
                             std::vector<ShareEntry>& entries);
// FindLastNumber over a listing already read.
int LastNumberAmong(const std::vector<ShareEntry>& entries, const std::string& groupName);
