#include "wizard/app/linux/SourceIdentity.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/stat.h>

namespace {

struct FreeDeleter {
    void operator()(char* text) const { std::free(text); }
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

} // namespace

CVolumeIdentifier::CVolumeIdentifier(VolumeSources sources) : m_sources(std::move(sources)) {
    m_mounts = ParseMountInfo(ReadText(m_sources.mountInfo));
}

const CVolumeIdentifier::FolderIdentity& CVolumeIdentifier::Resolve(const std::string& folder) {
    if (auto known = m_folders.find(folder); known != m_folders.end()) {
        return known->second;
    }
    FolderIdentity& identity = m_folders[folder];
    const std::unique_ptr<char, FreeDeleter> resolved(realpath(folder.c_str(), nullptr));
    if (!resolved) {
        return identity;
    }
    const std::string realFolder = resolved.get();
    identity.resolved = true;
    identity.pathBelowRoot = WithSlash(realFolder);
    const MountEntry* mount = FindMountOf(m_mounts, realFolder);
    if (mount == nullptr) {
        return identity;
    }
    auto uuid = m_uuids.find(mount->source);
    if (uuid == m_uuids.end()) {
        uuid = m_uuids.emplace(mount->source, FindDiskLabel(m_sources.byUuid, mount->source)).first;
    }
    if (uuid->second.empty()) {
        return identity;
    }
    // The same card in another reader, or mounted elsewhere, has the same path below its root.
    const std::string below =
        mount->mountPoint == "/" ? realFolder : realFolder.substr(mount->mountPoint.size());
    const std::string root = mount->root.empty() || mount->root == "/" ? "" : mount->root;
    identity.volume = "uuid:" + uuid->second;
    identity.pathBelowRoot = WithSlash(root + below);
    return identity;
}

SourceIdentity CVolumeIdentifier::IdentityOf(const std::string& folder, const std::string& name) {
    const FolderIdentity& identity = Resolve(folder);
    if (!identity.resolved) {
        return {};
    }
    return {identity.volume, identity.pathBelowRoot + name};
}

std::vector<SourceFacts> DescribePictures(const FoundSet& pictures, CVolumeIdentifier& volumes) {
    std::vector<SourceFacts> facts;
    facts.reserve(pictures.size());
    for (const FoundPicture& picture : pictures) {
        SourceFacts fact;
        struct stat info {};
        if (::stat(picture.FullPath().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            fact.identity = volumes.IdentityOf(picture.folder, picture.name);
            fact.size = uint64_t(info.st_size);
            fact.modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        }
        facts.push_back(std::move(fact));
    }
    return facts;
}
