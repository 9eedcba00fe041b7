// Where the bytes of a copy come from: a picture the copy engine reads as a stream and hands, chunk
// by chunk, to the transfer that sends it to the share. A file on a local disk and a picture on a
// camera are both sources, so that one transfer, one naming and one rollback serve both.
#pragma once

#include "wizard/transfer/ShareAccess.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// Takes a picture's bytes in order. The transfer implements it: it writes them to the share in
// pieces and reports progress.
class CAbstractChunkWriter {
public:
    virtual ~CAbstractChunkWriter() = default;
    // False when the copy cannot go on (the copy was cancelled, or the share failed); the source
    // then stops reading and the transfer knows why.
    virtual bool Write(const char* data, size_t size) = 0;
};

// Buffers a transfer lends to the sources it reads, kept from one picture to the next so that a
// run of many pictures does not allocate for each. A source that brings its own may ignore them.
struct PictureReadBuffers {
    size_t chunkSize = 0;
    std::vector<char> current;
    std::vector<char> ahead;
};

struct PictureSourceFacts {
    bool sizeKnown = false;
    uint64_t size = 0; // the bytes the copy must have, when known
};

struct PictureReadResult {
    // Ok, SourceUnreadable (errno in error), or Cancelled when the writer refused a chunk.
    ShareResult result;
    uint64_t bytes = 0; // bytes handed to the writer
};

// One picture to copy. Used by one thread at a time.
class CAbstractPictureSource {
public:
    CAbstractPictureSource() = default;
    virtual ~CAbstractPictureSource() = default;
    CAbstractPictureSource(const CAbstractPictureSource&) = delete;
    CAbstractPictureSource& operator=(const CAbstractPictureSource&) = delete;

    // Where the picture is, for diagnostics and the failure record.
    virtual std::string Describe() const = 0;
    // The extension, dot included, of the copy's name; empty for none.
    virtual std::string Extension() const = 0;
    // Makes the picture ready to read and tells its size. A failure (SourceUnreadable) comes
    // before anything is written to the share.
    virtual ShareResult Open(PictureSourceFacts& facts) = 0;
    // Hands every byte to the writer, in order, after a successful Open.
    virtual PictureReadResult ReadTo(CAbstractChunkWriter& writer, PictureReadBuffers& buffers) = 0;
};

// A file on a local disk, read in large chunks while the previous chunk is being written, so that
// the disk and the network work at the same time.
class CLocalPictureSource final : public CAbstractPictureSource {
public:
    // `extension` is the copy's extension; the file name's own, exactly as written, unless given.
    explicit CLocalPictureSource(std::string path);
    CLocalPictureSource(std::string path, std::string extension);

    std::string Describe() const override { return m_path; }
    std::string Extension() const override { return m_extension; }
    ShareResult Open(PictureSourceFacts& facts) override;
    PictureReadResult ReadTo(CAbstractChunkWriter& writer, PictureReadBuffers& buffers) override;

private:
    struct FileCloser {
        void operator()(std::FILE* file) const;
    };

    std::string m_path;
    std::string m_extension;
    std::unique_ptr<std::FILE, FileCloser> m_file;
};
