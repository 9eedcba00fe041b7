// The pictures one copy run works through, and what becomes of their originals afterwards: the
// found pictures of a folder, or the pictures of a camera. The copy step runs the same loop over
// either; the set decides what differs (a failed picture ends a folder run but is passed over on a
// camera, and a camera picture goes only when its copy was read back with the camera's size).
#pragma once

#include "wizard/record/CopyRecord.h"
#include "wizard/search/FoundPicture.h"
#include "wizard/transfer/AsyncData.h"
#include "wizard/transfer/PictureSource.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Used by the run's worker thread only, from Open on.
class CAbstractPictureSet {
public:
    CAbstractPictureSet() = default;
    virtual ~CAbstractPictureSet() = default;
    CAbstractPictureSet(const CAbstractPictureSet&) = delete;
    CAbstractPictureSet& operator=(const CAbstractPictureSet&) = delete;

    // Gets the pictures ready before anything goes to the share (a camera is opened and walked).
    // A failure ends the run with it, and nothing is copied.
    virtual TransferFailure Open() = 0;

    // The files to copy. The files of one picture (a raw file and its JPEG, a sidecar) follow
    // each other and are copied under one number.
    virtual size_t Count() const = 0;
    // The count the pages show (pictures, not files), and the number in it (from 1) of the
    // picture a file belongs to.
    virtual uint32_t Total() const = 0;
    virtual uint32_t NumberOf(size_t picture) const = 0;
    // True for the first file of a picture.
    virtual bool StartsPicture(size_t picture) const = 0;
    // Whether the picture a file belongs to is a video (it holds no picture file).
    virtual bool IsVideo(size_t picture) const = 0;
    virtual std::unique_ptr<CAbstractPictureSource> Source(size_t picture) = 0;
    // The name the deleting page announces.
    virtual std::string NameOf(size_t picture) const = 0;

    // True: a picture that could not be copied for `failure` is counted as skipped and the run
    // goes on (its original then stays, and so do all others). False: it ends the run, which
    // takes its copies back.
    virtual bool PassesOver(const TransferFailure& failure) const = 0;

    // Whether the copy, `bytesWritten` long and listed by the share with `listedSize`, may stand
    // in for the original, so that the original can be deleted. Asked for every picture before
    // the first is deleted; one refusal keeps every original.
    virtual bool CopyStandsIn(size_t picture, uint64_t bytesWritten, uint64_t listedSize) const = 0;
    enum class DeleteOutcome {
        Deleted,
        Kept,        // the original stays; the pass goes on with the others
        KeptAndStop, // the original stays, and so do the ones after it
    };
    virtual DeleteOutcome DeleteOriginal(size_t picture) = 0;

    // What the record of copies knows a file by. An unknown identity (as here) when the set
    // cannot tell: the file is then neither looked up nor recorded. The found pictures' facts
    // come with the run's record plan instead.
    virtual SourceFacts FactsOf(size_t /*picture*/) const { return {}; }

    // Takes the files out of those to copy, their copies being on the server already, and
    // numbers the rest anew as if the files had never been there; the indexes are those before
    // the call. The files taken out are kept apart, in the order they had, for the delete pass.
    // False, and nothing taken out, for a set that leaves nothing out (the found pictures are
    // left out before the run).
    virtual bool LeaveOut(const std::vector<size_t>& /*pictures*/) { return false; }
    // The files taken out, by their own indexes: how many, what they are, and their deletion as
    // DeleteOriginal does it.
    virtual size_t LeftOutCount() const { return 0; }
    virtual SourceFacts LeftOutFactsOf(size_t /*file*/) const { return {}; }
    virtual std::string LeftOutNameOf(size_t /*file*/) const { return {}; }
    virtual DeleteOutcome DeleteLeftOut(size_t /*file*/) { return DeleteOutcome::Kept; }
};

// The found pictures of a folder, in the set's order, gathered into pictures of one or more
// files; videos only when asked for, and no sidecar without its picture. A file that cannot be
// read (gone, or no permission) is passed over; any other failed copy ends the run. A source that
// cannot be deleted stays, and the pass goes on.
class CFoundPictureSet final : public CAbstractPictureSet {
public:
    // Kept by reference: the set must outlive this object.
    explicit CFoundPictureSet(const FoundSet& pictures, bool withVideos = true);

    TransferFailure Open() override { return {}; }
    size_t Count() const override { return m_files.size(); }
    uint32_t Total() const override { return m_total; }
    uint32_t NumberOf(size_t picture) const override { return m_files[picture].number; }
    bool StartsPicture(size_t picture) const override { return m_files[picture].starts; }
    bool IsVideo(size_t picture) const override { return m_files[picture].video; }
    std::unique_ptr<CAbstractPictureSource> Source(size_t picture) override;
    std::string NameOf(size_t picture) const override { return m_files[picture].found->name; }
    bool PassesOver(const TransferFailure& failure) const override {
        return failure.status == ShareStatus::SourceUnreadable;
    }
    bool CopyStandsIn(size_t, uint64_t bytesWritten, uint64_t listedSize) const override {
        return bytesWritten == listedSize;
    }
    DeleteOutcome DeleteOriginal(size_t picture) override;

private:
    struct File {
        const FoundPicture* found;
        std::string suffix; // the copy's extension
        uint32_t number;
        bool starts;
        bool video;
    };
    std::vector<File> m_files;
    uint32_t m_total = 0;
};

// Makes the set of a camera run on the UI thread when the run starts; its Open then runs on the
// worker. `deviceId` is the camera's port.
// `withVideos`: the camera's videos are copied too.
using CameraPictureSetMaker = std::function<std::unique_ptr<CAbstractPictureSet>(
    const std::string& deviceId, bool withVideos)>;
