#include "wizard/transfer/PictureSet.h"

#include "wizard/transfer/TransferNaming.h"

#include "common/files/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

CFoundPictureSet::CFoundPictureSet(const FoundSet& pictures) {
    m_pictures.reserve(pictures.size());
    for (const FoundPicture& picture : pictures) {
        m_pictures.push_back(&picture);
    }
}

std::unique_ptr<CAbstractPictureSource> CFoundPictureSet::Source(size_t picture) {
    const FoundPicture& found = *m_pictures[picture];
    // The copy keeps the source's extension exactly as written, letter case included.
    return std::make_unique<CLocalPictureSource>(found.FullPath(),
                                                 std::string(FileExtension(found.name)));
}

CAbstractPictureSet::DeleteOutcome CFoundPictureSet::DeleteOriginal(size_t picture) {
    const std::string source = m_pictures[picture]->FullPath();
    int error = 0;
    if (!RemoveLocalFile(source, error)) {
        const bool gone = error == ENOENT;
        std::printf("Cannot delete %s: %s\n", source.c_str(),
                    gone ? "it is gone" : std::generic_category().message(error).c_str());
        // One picture that stays does not keep the others.
        return gone ? DeleteOutcome::Deleted : DeleteOutcome::Kept;
    }
    return DeleteOutcome::Deleted;
}
