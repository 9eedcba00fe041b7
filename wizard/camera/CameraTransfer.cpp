#include "wizard/camera/CameraTransfer.h"

#include "wizard/camera/CameraFinder.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace {

int ErrnoOf(const CameraResult& result) {
    switch (result.status) {
    case CameraStatus::Ok:
        return 0;
    case CameraStatus::NotFound:
        return ENOENT;
    case CameraStatus::Claimed:
        return EBUSY;
    case CameraStatus::Cancelled:
        return ECANCELED;
    case CameraStatus::Failed:
        break;
    }
    return EIO;
}

} // namespace

CCameraPictureSource::CCameraPictureSource(CAbstractCamera& camera, CameraItem item,
                                           uint64_t* bytesRead, std::string extension)
    : m_camera(camera), m_item(std::move(item)), m_bytesRead(bytesRead),
      m_extension(extension.empty() ? CameraCopyExtension(m_item.name, m_item.facts.mimeType)
                                    : std::move(extension)) {}

std::string CCameraPictureSource::Describe() const {
    return m_camera.Port().port + m_item.FullPath();
}

std::string CCameraPictureSource::Extension() const {
    return m_extension;
}

ShareResult CCameraPictureSource::Open(PictureSourceFacts& facts) {
    if (m_item.facts.permissionsKnown && !m_item.facts.canRead) {
        return {ShareStatus::SourceUnreadable, EACCES};
    }
    facts.sizeKnown = m_item.facts.sizeKnown;
    facts.size = m_item.facts.size;
    return {};
}

PictureReadResult CCameraPictureSource::ReadTo(CAbstractChunkWriter& writer,
                                               PictureReadBuffers& /*buffers*/) {
    // The camera's chunks go to the writer as they arrive; the writer gathers them into the
    // pieces it sends, so nothing of the picture is kept beyond one piece.
    const CameraReadResult read =
        m_camera.Read(m_item.folder, m_item.name, [&writer](const char* data, size_t size) {
            return writer.Write(data, size) ? CameraSinkAction::Continue : CameraSinkAction::Stop;
        });
    if (m_bytesRead != nullptr) {
        *m_bytesRead = read.bytes;
    }
    PictureReadResult result;
    result.bytes = read.bytes;
    if (read.result.status == CameraStatus::Cancelled) {
        result.result = {ShareStatus::Cancelled, ECANCELED};
    } else if (!read.result.ok()) {
        std::printf("Cannot read %s from the camera: %s\n", m_item.FullPath().c_str(),
                    read.result.reason.c_str());
        result.result = {ShareStatus::SourceUnreadable, ErrnoOf(read.result)};
    }
    return result;
}

CCameraPictureSet::CCameraPictureSet(std::shared_ptr<CAbstractCameraSystem> system,
                                     std::shared_ptr<CAbstractCameraClaimRelease> release,
                                     std::string port, bool withVideos)
    : m_system(std::move(system)), m_release(std::move(release)), m_port(std::move(port)),
      m_withVideos(withVideos) {}

TransferFailure CCameraPictureSet::Open() {
    if (!m_system || !m_release) {
        return {ShareStatus::NotSupported, 0, m_port, {}, 0};
    }
    CameraOpenResult opened = OpenReleasingClaim(*m_system, *m_release, m_port);
    if (!opened.result.ok()) {
        std::printf("Cannot open the camera on %s: %s\n", m_port.c_str(),
                    opened.result.reason.c_str());
        return {ShareStatus::SourceUnreadable, ErrnoOf(opened.result), m_port, {}, 0};
    }
    m_camera = std::move(opened.camera);
    CameraPictureList list = ListCameraPictures(*m_camera, m_withVideos);
    if (!list.result.ok()) {
        std::printf("Cannot list the pictures of the camera on %s: %s\n", m_port.c_str(),
                    list.result.reason.c_str());
        return {ShareStatus::SourceUnreadable, ErrnoOf(list.result), m_port, {}, 0};
    }
    m_pictures = std::move(list.pictures);
    m_bytesRead.assign(m_pictures.size(), 0);
    return {};
}

uint32_t CCameraPictureSet::Total() const {
    return m_pictures.empty() ? 0 : m_pictures.front().count;
}

std::unique_ptr<CAbstractPictureSource> CCameraPictureSet::Source(size_t picture) {
    return std::make_unique<CCameraPictureSource>(*m_camera, m_pictures[picture].item,
                                                  &m_bytesRead[picture],
                                                  m_pictures[picture].copyExtension);
}

bool CCameraPictureSet::CopyStandsIn(size_t picture, uint64_t bytesWritten,
                                     uint64_t listedSize) const {
    return bytesWritten == m_bytesRead[picture] &&
           CopyMatchesCameraFile(m_pictures[picture].item.facts, m_bytesRead[picture], listedSize);
}

CAbstractPictureSet::DeleteOutcome CCameraPictureSet::DeleteOriginal(size_t picture) {
    return Delete(m_pictures[picture].item);
}

SourceFacts CCameraPictureSet::FactsOf(size_t picture) const {
    return CameraSourceFacts(m_camera->Port(), m_pictures[picture].item);
}

SourceFacts CCameraPictureSet::LeftOutFactsOf(size_t file) const {
    return CameraSourceFacts(m_camera->Port(), m_leftOut[file]);
}

bool CCameraPictureSet::LeaveOut(const std::vector<size_t>& pictures) {
    std::vector<bool> leaving(m_pictures.size(), false);
    for (const size_t picture : pictures) {
        if (picture < leaving.size()) {
            leaving[picture] = true;
        }
    }
    std::vector<CameraItem> rest;
    for (size_t picture = 0; picture < m_pictures.size(); ++picture) {
        (leaving[picture] ? m_leftOut : rest).push_back(std::move(m_pictures[picture].item));
    }
    // The files that stay keep their order, and are grouped and numbered again among
    // themselves, as a camera holding only them would be.
    m_pictures = CameraPicturesOf(rest, m_withVideos);
    m_bytesRead.assign(m_pictures.size(), 0);
    return true;
}

CAbstractPictureSet::DeleteOutcome CCameraPictureSet::Delete(const CameraItem& item) {
    if (item.facts.permissionsKnown && !item.facts.canDelete) {
        // The owner protected it on the camera; the others may still go.
        std::printf("%s is protected on the camera and stays\n", item.FullPath().c_str());
        return DeleteOutcome::Kept;
    }
    const CameraResult deleted = m_camera->Delete(item.folder, item.name);
    if (!deleted.ok()) {
        // A camera that fails one delete is not asked for more.
        std::printf("Cannot delete %s from the camera: %s\n", item.FullPath().c_str(),
                    deleted.reason.c_str());
        return DeleteOutcome::KeptAndStop;
    }
    return DeleteOutcome::Deleted;
}

CameraPictureSetMaker CameraPicturesThrough(std::shared_ptr<CAbstractCameraSystem> system,
                                            std::shared_ptr<CAbstractCameraClaimRelease> release) {
    return [system = std::move(system), release = std::move(release)](const std::string& port,
                                                                      bool withVideos) {
        return std::make_unique<CCameraPictureSet>(system, release, port, withVideos);
    };
}
