// Sends announcement datagrams on loopback, each from a source address of its choice in
// 127.0.0.0/8, as a server on the home network would.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace testing_support {

#ifdef _WIN32
using SocketHandle = SOCKET;
inline constexpr SocketHandle kNoSocket = INVALID_SOCKET;
using SocketLength = int;
// What a receiver's LastError says when the port is held by another socket.
inline constexpr int kAddressInUseError = WSAEADDRINUSE;

// Winsock counts its users; the test process stays one from its first socket on.
inline SocketHandle OpenDatagramSocket() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : INVALID_SOCKET;
}
inline void CloseSocket(SocketHandle socket) {
    ::closesocket(socket);
}
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
using SocketLength = socklen_t;
// What a receiver's LastError says when the port is held by another socket.
inline constexpr int kAddressInUseError = EADDRINUSE;

inline SocketHandle OpenDatagramSocket() {
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}
inline void CloseSocket(SocketHandle socket) {
    ::close(socket);
}
#endif

inline std::string AnnouncementText(std::string_view announced, long time, std::string_view host,
                                    std::string_view cpu) {
    return "Hello there. I am at " + std::string(announced) + ". Time is " + std::to_string(time) +
           " and I am hungry.Hostname:<" + std::string(host) + ">.CPU:<" + std::string(cpu) + ">";
}

// 127.0.0.last in host byte order.
constexpr uint32_t Loopback(uint8_t last) {
    return (127u << 24) | last;
}

// A datagram socket bound to one loopback source address.
class LoopbackAnnouncer {
public:
    explicit LoopbackAnnouncer(uint32_t source) {
        m_fd = OpenDatagramSocket();
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(source);
        if (m_fd != kNoSocket &&
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            CloseSocket(m_fd);
            m_fd = kNoSocket;
        }
    }
    ~LoopbackAnnouncer() {
        if (m_fd != kNoSocket) {
            CloseSocket(m_fd);
        }
    }
    LoopbackAnnouncer(const LoopbackAnnouncer&) = delete;
    LoopbackAnnouncer& operator=(const LoopbackAnnouncer&) = delete;

    bool IsOpen() const { return m_fd != kNoSocket; }

    bool Send(std::string_view datagram, uint16_t port) const {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(port);
        return ::sendto(m_fd, datagram.data(), static_cast<int>(datagram.size()), 0,
                        reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == static_cast<int>(datagram.size());
    }

private:
    SocketHandle m_fd = kNoSocket;
};

// A UDP port on 0.0.0.0 that nothing listens on right now.
inline uint16_t FreeUdpPort() {
    const SocketHandle fd = OpenDatagramSocket();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    SocketLength length = sizeof local;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        port = ntohs(local.sin_port);
    }
    CloseSocket(fd);
    return port;
}

// Holds a UDP port on 0.0.0.0 for as long as it lives, as another program would.
class PortHolder {
public:
    explicit PortHolder(uint16_t port) {
        m_fd = OpenDatagramSocket();
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        m_held = ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }
    ~PortHolder() { CloseSocket(m_fd); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool IsHeld() const { return m_held; }

private:
    SocketHandle m_fd = kNoSocket;
    bool m_held = false;
};

} // namespace testing_support
