#include "common/discovery/linux/AnnouncementSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::unique_ptr<CAbstractAnnouncementReceiver> CreatePlatformAnnouncementReceiver() {
    return std::make_unique<CPosixAnnouncementSocket>();
}

CPosixAnnouncementSocket::~CPosixAnnouncementSocket() {
    Close();
}

ReceiverOpenStatus CPosixAnnouncementSocket::Open(uint16_t port) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_lastError = errno;
        return ReceiverOpenStatus::Failed;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    // No SO_REUSEADDR: a port held by another listener must show as in use, not be shared.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        m_lastError = errno;
        ::close(fd);
        return m_lastError == EADDRINUSE ? ReceiverOpenStatus::AddressInUse
                                         : ReceiverOpenStatus::Failed;
    }
    m_fd = fd;
    return ReceiverOpenStatus::Opened;
}

void CPosixAnnouncementSocket::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

CPosixAnnouncementSocket::Attempt CPosixAnnouncementSocket::TryReceive(std::span<char> buffer,
                                                                       ReceivedDatagram& datagram,
                                                                       bool& oversized) {
    sockaddr_in source{};
    socklen_t sourceLength = sizeof source;
    // MSG_TRUNC makes the call return the datagram's real length, so a cut one can be told apart.
    const ssize_t length = ::recvfrom(m_fd, buffer.data(), buffer.size(), MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (length < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return Attempt::WouldBlock;
        }
        m_lastError = errno;
        return Attempt::Error;
    }
    oversized = static_cast<std::size_t>(length) > buffer.size();
    datagram.length = oversized ? 0 : static_cast<std::size_t>(length);
    datagram.sourceAddress = source.sin_family == AF_INET ? ntohl(source.sin_addr.s_addr) : 0;
    return Attempt::Got;
}

ReceiveStatus CPosixAnnouncementSocket::Receive(std::span<char> buffer,
                                                std::chrono::milliseconds wait,
                                                ReceivedDatagram& datagram) {
    if (m_fd < 0) {
        m_lastError = EBADF;
        return ReceiveStatus::Failed;
    }
    bool oversized = false;
    Attempt attempt = TryReceive(buffer, datagram, oversized);
    if (attempt == Attempt::WouldBlock && wait.count() > 0) {
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(wait.count()));
        if (ready < 0 && errno != EINTR) {
            m_lastError = errno;
            return ReceiveStatus::Failed;
        }
        if (ready > 0) {
            attempt = TryReceive(buffer, datagram, oversized);
        }
    }
    switch (attempt) {
    case Attempt::Got:
        return oversized ? ReceiveStatus::Oversized : ReceiveStatus::Received;
    case Attempt::WouldBlock:
        return ReceiveStatus::Nothing;
    case Attempt::Error:
        break;
    }
    return ReceiveStatus::Failed;
}
