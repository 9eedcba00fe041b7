#include "wizard/transfer/PictureSource.h"

#include "wizard/transfer/TransferNaming.h"

#include "common/files/Paths.h"
#include "common/files/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <future>
#include <string_view>

namespace {

// The least a chunk of a local file holds: smaller reads would keep the disk waiting on the
// network.
constexpr size_t kMinimumReadChunk = size_t(1) << 20;

// The extension of the file's own name: a dot in a folder's name is not one.
std::string ExtensionOfPath(std::string_view path) {
    return std::string(FileExtension(FileNameOf(path)));
}

} // namespace

CLocalPictureSource::CLocalPictureSource(std::string path)
    : m_path(std::move(path)), m_extension(ExtensionOfPath(m_path)) {}

CLocalPictureSource::CLocalPictureSource(std::string path, std::string extension)
    : m_path(std::move(path)), m_extension(std::move(extension)) {}

void CLocalPictureSource::FileCloser::operator()(std::FILE* file) const {
    std::fclose(file);
}

ShareResult CLocalPictureSource::Open(PictureSourceFacts& facts) {
    // The platform's call, which takes the UTF-8 path as it is: a narrow fopen on Windows would
    // read it in the ANSI code page and miss every name outside it.
    uint64_t size = 0;
    int error = 0;
    m_file.reset(OpenRegularFileForReading(m_path, size, error));
    if (!m_file) {
        return {ShareStatus::SourceUnreadable, error};
    }
    // The chunks go straight from the transfer's buffers to the server.
    std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
    facts.sizeKnown = true;
    facts.size = size;
    return {};
}

PictureReadResult CLocalPictureSource::ReadTo(CAbstractChunkWriter& writer,
                                              PictureReadBuffers& buffers) {
    PictureReadResult read;
    if (!m_file) {
        read.result = {ShareStatus::SourceUnreadable, EBADF};
        return read;
    }
    if (buffers.current.size() < kMinimumReadChunk) {
        buffers.current.resize(std::max(buffers.chunkSize, kMinimumReadChunk));
    }
    struct Chunk {
        size_t size = 0;
        int error = 0;
    };
    std::FILE* input = m_file.get();
    auto readInto = [input](std::vector<char>& buffer) {
        Chunk chunk;
        chunk.size = std::fread(buffer.data(), 1, buffer.size(), input);
        if (chunk.size == 0 && std::ferror(input)) {
            chunk.error = errno != 0 ? errno : EIO;
        }
        return chunk;
    };
    // While one chunk goes to the server, the next one is read: the source's disk and the
    // network work at the same time.
    std::vector<char>* current = &buffers.current;
    std::vector<char>* ahead = &buffers.ahead;
    Chunk chunk = readInto(*current);
    while (chunk.size > 0) {
        std::future<Chunk> next;
        if (chunk.size == current->size()) {
            ahead->resize(current->size());
            next = std::async(std::launch::async, readInto, std::ref(*ahead));
        }
        if (!writer.Write(current->data(), chunk.size)) {
            read.result = {ShareStatus::Cancelled, ECANCELED};
            return read; // the read ahead is waited for as `next` goes
        }
        read.bytes += chunk.size;
        chunk = next.valid() ? next.get() : Chunk{};
        std::swap(current, ahead);
    }
    if (chunk.error != 0) {
        read.result = {ShareStatus::SourceUnreadable, chunk.error};
    }
    return read;
}
