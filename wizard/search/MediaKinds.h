// What the wizard copies, for the folder search and the camera alike: pictures (the usual image
// files, raw files of cameras, phone pictures), videos, and the sidecars that travel with them.
// One list, so that a card copies the same files whichever way the desktop hands it over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class MediaKind : std::uint8_t {
    None,    // not copied
    Picture, // an image, raw files and phone pictures included
    Video,
    Sidecar, // metadata that belongs to a picture beside it (.xmp); never copied alone
};

// The kind of a file by its extension (dot included), letter case ignored.
MediaKind MediaKindOfExtension(std::string_view extension);

// The kind of a file by its name's extension, from its last dot; None without a dot.
MediaKind MediaKindOfName(std::string_view fileName);

// The kind of a camera's file: its media type decides, and the name's extension where the type is
// missing or says nothing (a generic binary type, or a type the list does not know).
MediaKind MediaKindOfCameraFile(std::string_view fileName, std::string_view mimeType);

// Every extension of the list with its dot, each in its lower-case and its upper-case form, for a
// search that compares extensions exactly.
std::vector<std::string> SearchExtensions();

// Whether a copy with this extension takes part in a group's numbering (letter case ignored):
// every extension of the list, and those a camera's copy may be given.
bool IsNumberedExtension(std::string_view extension);
