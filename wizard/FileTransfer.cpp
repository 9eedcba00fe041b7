#include "wizard/FileTransfer.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void CAbstractFileTransferCallback::Cancel() {
    m_cancelled.store(true);
}

void CAbstractFileTransferCallback::ResetCancel() {
    m_cancelled.store(false);
}

void CAbstractFileTransferCallback::Pause() {
    std::lock_guard lock(m_gateMutex);
    m_gateOpen = false;
}

void CAbstractFileTransferCallback::Resume() {
    {
        std::lock_guard lock(m_gateMutex);
        m_gateOpen = true;
    }
    m_gateOpened.notify_all();
}

void CAbstractFileTransferCallback::WaitForRunGate() {
    std::unique_lock lock(m_gateMutex);
    m_gateOpened.wait(lock, [this] { return m_gateOpen; });
}

void CFileTransferCallback::SetTarget(CAbstractAsyncDataPoster* poster,
                                      CAbstractAsyncDataSheet* sheet) {
    std::lock_guard lock(m_targetMutex);
    m_poster = poster;
    m_sheet = sheet;
}

template <class Record, class... Args> void CFileTransferCallback::Post(Args&&... args) {
    std::lock_guard lock(m_targetMutex);
    if (m_poster != nullptr) {
        m_poster->Post(std::make_unique<Record>(m_sheet, std::forward<Args>(args)...));
    }
}

void CFileTransferCallback::OnSwitchToDelete() {
    Post<kvSwitchDeletePageAsyncData>();
}

int CFileTransferCallback::OnCopyProgress(uint64_t totalBytes, uint64_t bytesTransferred) {
    Post<kvFileStatusAsyncData>(totalBytes, bytesTransferred);
    return IsCancelled() ? 1 : 0;
}

bool CFileTransferCallback::OnCopyFile(uint32_t total, uint32_t index, const std::string& name) {
    Post<kvGroupStatusAsyncData>(static_cast<int>(total), static_cast<int>(index), name);
    return IsCancelled();
}

bool CFileTransferCallback::OnDeleteFile(uint32_t total, uint32_t index, const std::string& name) {
    Post<kvDeleteStatusAsyncData>(static_cast<int>(total), static_cast<int>(index), name);
    return IsCancelled();
}

void CFileTransferCallback::OnDone(const TransferFailure& failure) {
    Post<kvDoneCopyAsyncData>(IsCancelled(), failure);
}

void CAbstractFileTransfer::SetCallback(std::shared_ptr<CAbstractFileTransferCallback> callback) {
    std::lock_guard lock(m_callbackMutex);
    m_callback = std::move(callback);
}

std::shared_ptr<CAbstractFileTransferCallback> CAbstractFileTransfer::Callback() const {
    std::lock_guard lock(m_callbackMutex);
    return m_callback;
}

namespace {

class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

ssize_t ReadSome(int fd, char* buffer, size_t size) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) {
            return got;
        }
    }
}

} // namespace

CSambaFileTransfer::CSambaFileTransfer(std::unique_ptr<CAbstractShareSession> session,
                                       size_t chunkSize)
    : m_session(std::move(session)), m_buffer(std::max(chunkSize, kMinimumChunkSize)) {}

TransferResult CSambaFileTransfer::Transfer(const std::string& source,
                                            const std::string& destination) {
    if (!m_session) {
        return {{ShareStatus::NotSupported, 0}, false, 0};
    }
    const std::shared_ptr<CAbstractFileTransferCallback> callback = Callback();

    CFileDescriptor input(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (input.get() < 0 || ::fstat(input.get(), &status) != 0) {
        return {{ShareStatus::SourceUnreadable, errno}, false, 0};
    }
    if (!S_ISREG(status.st_mode)) {
        return {{ShareStatus::SourceUnreadable, EISDIR}, false, 0};
    }
    ::posix_fadvise(input.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const uint64_t totalBytes = static_cast<uint64_t>(status.st_size);
    if (callback && callback->OnCopyProgress(totalBytes, 0) != 0) {
        return {{ShareStatus::Cancelled, ECANCELED}, false, 0};
    }

    std::unique_ptr<CAbstractShareFile> output;
    if (ShareResult created = m_session->CreateNew(destination, output); !created.ok()) {
        return {created, false, 0};
    }

    ShareResult outcome;
    uint64_t bytesDone = 0;
    for (;;) {
        const ssize_t got = ReadSome(input.get(), m_buffer.data(), m_buffer.size());
        if (got < 0) {
            outcome = {ShareStatus::SourceUnreadable, errno};
            break;
        }
        if (got == 0) {
            break;
        }
        if (outcome = output->Write(m_buffer.data(), static_cast<size_t>(got)); !outcome.ok()) {
            break;
        }
        bytesDone += static_cast<uint64_t>(got);
        if (callback && callback->OnCopyProgress(totalBytes, bytesDone) != 0) {
            outcome = {ShareStatus::Cancelled, ECANCELED};
            break;
        }
    }
    if (outcome.ok()) {
        outcome = output->Close();
    }
    if (outcome.ok() && bytesDone != totalBytes) {
        // The source changed size while it was copied: the copy is not the picture.
        outcome = {ShareStatus::SizeMismatch, 0};
    }
    output.reset();
    if (outcome.ok()) {
        return {{}, false, bytesDone};
    }
    const ShareResult removed = m_session->Remove(destination);
    return {outcome, !removed.ok() && removed.status != ShareStatus::NotFound, 0};
}
