#include "wizard/transfer/PictureSet.h"

#include "wizard/transfer/TransferNaming.h"

#include <cstdio>
#include <filesystem>
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
    std::error_code error;
    if (!std::filesystem::remove(source, error)) {
        std::printf("Cannot delete %s: %s\n", source.c_str(),
                    error ? error.message().c_str() : "it is gone");
        // One picture that stays does not keep the others.
        return error ? DeleteOutcome::Kept : DeleteOutcome::Deleted;
    }
    return DeleteOutcome::Deleted;
}
