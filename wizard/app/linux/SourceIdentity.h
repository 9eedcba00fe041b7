// Which source file a found picture is, whatever reader its card sits in or wherever it is
// mounted: the volume's file-system UUID and the path below the volume's root, with the file's
// size and modification time.
#pragma once

#include "wizard/app/linux/VolumeInfo.h"
#include "wizard/record/CopyRecord.h"
#include "wizard/search/FoundPicture.h"

#include <map>
#include <string>
#include <vector>

class CVolumeIdentifier {
public:
    // Reads the mount table once.
    explicit CVolumeIdentifier(VolumeSources sources = {});

    // The identity of the file `name` in `folder`. On a volume without a UUID the file is known
    // by its absolute path; a folder that cannot be resolved gives an unknown identity.
    SourceIdentity IdentityOf(const std::string& folder, const std::string& name);

private:
    struct FolderIdentity {
        bool resolved = false;
        std::string volume;
        std::string pathBelowRoot; // ends with '/'
    };
    const FolderIdentity& Resolve(const std::string& folder);

    VolumeSources m_sources;
    std::vector<MountEntry> m_mounts;
    std::map<std::string, FolderIdentity> m_folders;
    std::map<std::string, std::string> m_uuids; // by mount source
};

// The facts of every found picture, in the set's order; a picture that cannot be looked at gets
// an unknown identity, so that it is never taken for one copied before.
std::vector<SourceFacts> DescribePictures(const FoundSet& pictures, CVolumeIdentifier& volumes);
