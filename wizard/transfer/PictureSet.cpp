#include "wizard/transfer/PictureSet.h"

#include "wizard/search/MediaGroups.h"

#include "common/files/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

CFoundPictureSet::CFoundPictureSet(const FoundSet& pictures, bool withVideos) {
    m_files.reserve(pictures.size());
    for (const FoundGroup& group : GroupFoundPictures(pictures, withVideos)) {
        ++m_total;
        for (const FoundPicture* found : group.files) {
            const MediaKind known = MediaKindOfName(found->name);
            const MediaKind kind = known == MediaKind::None ? MediaKind::Picture : known;
            m_files.push_back({found, std::string(MediaCopySuffix(found->name, kind)), m_total,
                               found == group.files.front(), group.kind == MediaKind::Video});
        }
    }
}

std::unique_ptr<CAbstractPictureSource> CFoundPictureSet::Source(size_t picture) {
    const File& file = m_files[picture];
    // The copy keeps the source's extension exactly as written, letter case included.
    return std::make_unique<CLocalPictureSource>(file.found->FullPath(), file.suffix);
}

CAbstractPictureSet::DeleteOutcome CFoundPictureSet::DeleteOriginal(size_t picture) {
    const std::string source = m_files[picture].found->FullPath();
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
