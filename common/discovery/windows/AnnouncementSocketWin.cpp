#include "common/discovery/windows/AnnouncementSocketWin.h"

#include <winsock2.h>

std::unique_ptr<CAbstractAnnouncementReceiver> CreatePlatformAnnouncementReceiver() {
    return std::make_unique<CWinsockAnnouncementSocket>();
}

CWinsockAnnouncementSocket::CWinsockAnnouncementSocket() : m_socket(INVALID_SOCKET) {
    WSADATA data{};
    const int error = ::WSAStartup(MAKEWORD(2, 2), &data);
    m_started = error == 0;
    m_lastError = error;
}

CWinsockAnnouncementSocket::~CWinsockAnnouncementSocket() {
    Close();
    if (m_started) {
        ::WSACleanup();
    }
}

ReceiverOpenStatus CWinsockAnnouncementSocket::Open(uint16_t port) {
    Close();
    if (!m_started) {
        return ReceiverOpenStatus::Failed;
    }
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) {
        m_lastError = ::WSAGetLastError();
        return ReceiverOpenStatus::Failed;
    }
    u_long nonBlocking = 1;
    // Exclusive: a port held by another listener must show as in use, and no later socket may
    // take it over from this one.
    BOOL exclusive = TRUE;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0 ||
        ::setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                     reinterpret_cast<const char*>(&exclusive), sizeof exclusive) != 0 ||
        ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        m_lastError = ::WSAGetLastError();
        ::closesocket(socket);
        return m_lastError == WSAEADDRINUSE || m_lastError == WSAEACCES
                   ? ReceiverOpenStatus::AddressInUse
                   : ReceiverOpenStatus::Failed;
    }
    m_socket = socket;
    return ReceiverOpenStatus::Opened;
}

void CWinsockAnnouncementSocket::Close() {
    if (m_socket != INVALID_SOCKET) {
        ::closesocket(m_socket);
        m_socket = INVALID_SOCKET;
    }
}

CWinsockAnnouncementSocket::Attempt
CWinsockAnnouncementSocket::TryReceive(std::span<char> buffer, ReceivedDatagram& datagram,
                                       bool& oversized) {
    sockaddr_in source{};
    int sourceLength = sizeof source;
    const int length = ::recvfrom(m_socket, buffer.data(), static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr*>(&source), &sourceLength);
    oversized = false;
    if (length == SOCKET_ERROR) {
        const int error = ::WSAGetLastError();
        switch (error) {
        case WSAEWOULDBLOCK:
        case WSAEINTR:
        // An ICMP reply to something this socket never sent; the socket is still good.
        case WSAECONNRESET:
            return Attempt::WouldBlock;
        case WSAEMSGSIZE:
            // The datagram did not fit; Winsock has dropped its rest.
            oversized = true;
            datagram.length = 0;
            datagram.sourceAddress = ntohl(source.sin_addr.s_addr);
            return Attempt::Got;
        default:
            m_lastError = error;
            return Attempt::Error;
        }
    }
    datagram.length = static_cast<std::size_t>(length);
    datagram.sourceAddress = source.sin_family == AF_INET ? ntohl(source.sin_addr.s_addr) : 0;
    return Attempt::Got;
}

ReceiveStatus CWinsockAnnouncementSocket::Receive(std::span<char> buffer,
                                                  std::chrono::milliseconds wait,
                                                  ReceivedDatagram& datagram) {
    if (m_socket == INVALID_SOCKET) {
        m_lastError = WSAENOTSOCK;
        return ReceiveStatus::Failed;
    }
    bool oversized = false;
    Attempt attempt = TryReceive(buffer, datagram, oversized);
    if (attempt == Attempt::WouldBlock && wait.count() > 0) {
        WSAPOLLFD waiting{};
        waiting.fd = m_socket;
        waiting.events = POLLRDNORM;
        const int ready = ::WSAPoll(&waiting, 1, static_cast<INT>(wait.count()));
        if (ready == SOCKET_ERROR) {
            m_lastError = ::WSAGetLastError();
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
