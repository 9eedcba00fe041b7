// One picture found by the picture search, and the ordered set the copy engine works through.
#pragma once

#include <set>
#include <string>

struct FoundPicture {
    std::string folder; // the folder that holds the file, ending with a separator
    std::string name;   // the file name with its extension, as the directory listing gave it

    // folder, a separator when folder does not end with one, then name. Never cut.
    std::string FullPath() const;
};

// Orders by the full path with ASCII letters folded to lower case, compared byte by byte, with the
// separators ranked as a backslash (after digits, before '_' and letters); on Linux, where a
// backslash may be part of a name, such a backslash ranks just after them. Two pictures whose full
// paths differ only in letter case are the same entry.
struct FoundPictureOrder {
    bool operator()(const FoundPicture& a, const FoundPicture& b) const;
};

using FoundSet = std::set<FoundPicture, FoundPictureOrder>;
