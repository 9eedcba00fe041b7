#include "wizard/transfer/PictureSource.h"

#include "wizard/transfer/TransferNaming.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <future>
#include <string_view>

namespace {

// The least a chunk of a local file holds: smaller reads would keep the disk waiting on the
// network.
constexpr size_t kMinimumReadChunk = size_t(1) << 20;

// The extension of the file's own name: a dot in a folder's name is not one.
std::string ExtensionOfPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return std::string(
        FileExtension(slash == std::string_view::npos ? path : path.substr(slash + 1)));
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
    std::error_code sizeError;
    const bool regular = std::filesystem::is_regular_file(m_path, sizeError);
    const uintmax_t size = regular ? std::filesystem::file_size(m_path, sizeError) : 0;
    m_file.reset(regular && !sizeError ? std::fopen(m_path.c_str(), "rb") : nullptr);
    if (!m_file) {
        const int error = sizeError ? sizeError.value() : (regular ? errno : EISDIR);
        return {ShareStatus::SourceUnreadable, error};
    }
    // The chunks go straight from the transfer's buffers to the server.
    std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
    facts.sizeKnown = true;
    facts.size = static_cast<uint64_t>(size);
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
