// The camera's side of a copy run: its pictures as sources the copy engine streams to the share,
// and the set a camera run works through, which deletes a picture from the camera only when its
// copy was read back from the share with the camera's size.
#pragma once

#include "wizard/camera/Camera.h"
#include "wizard/camera/CameraPictures.h"
#include "wizard/transfer/PictureSet.h"
#include "wizard/transfer/PictureSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One picture of an opened camera, streamed from the camera into the transfer without being kept
// anywhere else. The camera must outlive the source.
class CCameraPictureSource final : public CAbstractPictureSource {
public:
    // `bytesRead`, when given, receives the bytes the camera delivered (also after a failure).
    // `extension`: the copy's; by the file's name and type when not given.
    CCameraPictureSource(CAbstractCamera& camera, CameraItem item, uint64_t* bytesRead = nullptr,
                         std::string extension = {});

    std::string Describe() const override;
    std::string Extension() const override;
    ShareResult Open(PictureSourceFacts& facts) override;
    PictureReadResult ReadTo(CAbstractChunkWriter& writer, PictureReadBuffers& buffers) override;

private:
    CAbstractCamera& m_camera;
    CameraItem m_item;
    uint64_t* m_bytesRead;
    std::string m_extension;
};

// The pictures of the camera on one port, in the order of the walk and numbered among the
// pictures only. Open finds and opens the camera (asking the desktop to let it go when it holds
// it) and walks it; a camera that cannot be opened or walked fails the run before anything is
// copied. A picture that cannot be read is passed over. The pictures are deleted by the exact
// items that were copied, never by walking the camera again; a picture the camera protects stays.
class CCameraPictureSet final : public CAbstractPictureSet {
public:
    // The system and the release are used on the worker thread of the run while it opens the
    // camera: nothing else may use them then.
    CCameraPictureSet(std::shared_ptr<CAbstractCameraSystem> system,
                      std::shared_ptr<CAbstractCameraClaimRelease> release, std::string port,
                      bool withVideos = true);

    TransferFailure Open() override;
    size_t Count() const override { return m_pictures.size(); }
    uint32_t Total() const override;
    uint32_t NumberOf(size_t picture) const override { return m_pictures[picture].index; }
    bool StartsPicture(size_t picture) const override { return m_pictures[picture].startsPicture; }
    bool IsVideo(size_t picture) const override { return m_pictures[picture].video; }
    std::unique_ptr<CAbstractPictureSource> Source(size_t picture) override;
    std::string NameOf(size_t picture) const override { return m_pictures[picture].item.name; }
    // A picture the camera cannot give is passed over; the server's failures end the run.
    bool PassesOver(const TransferFailure& failure) const override {
        return failure.status == ShareStatus::SourceUnreadable;
    }
    bool CopyStandsIn(size_t picture, uint64_t bytesWritten, uint64_t listedSize) const override;
    DeleteOutcome DeleteOriginal(size_t picture) override;
    SourceFacts FactsOf(size_t picture) const override;
    bool LeaveOut(const std::vector<size_t>& pictures) override;
    size_t LeftOutCount() const override { return m_leftOut.size(); }
    SourceFacts LeftOutFactsOf(size_t file) const override;
    std::string LeftOutNameOf(size_t file) const override { return m_leftOut[file].name; }
    DeleteOutcome DeleteLeftOut(size_t file) override { return Delete(m_leftOut[file]); }

private:
    DeleteOutcome Delete(const CameraItem& item);

    std::shared_ptr<CAbstractCameraSystem> m_system;
    std::shared_ptr<CAbstractCameraClaimRelease> m_release;
    std::string m_port;
    bool m_withVideos;
    std::unique_ptr<CAbstractCamera> m_camera;
    std::vector<CameraPicture> m_pictures;
    std::vector<uint64_t> m_bytesRead; // per picture, as its last read delivered
    std::vector<CameraItem> m_leftOut;
};

// The maker the copy step uses in camera mode: every run opens the camera afresh through `system`
// on its worker thread (the runs of a step never overlap).
CameraPictureSetMaker CameraPicturesThrough(std::shared_ptr<CAbstractCameraSystem> system,
                                            std::shared_ptr<CAbstractCameraClaimRelease> release);
