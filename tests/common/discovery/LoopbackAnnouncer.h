// Sends announcement datagrams on loopback, each from a source address of its choice in
// 127.0.0.0/8, as a server on the home network would.
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

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
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(source);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LoopbackAnnouncer() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    LoopbackAnnouncer(const LoopbackAnnouncer&) = delete;
    LoopbackAnnouncer& operator=(const LoopbackAnnouncer&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

    bool Send(std::string_view datagram, uint16_t port) const {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(port);
        return ::sendto(m_fd, datagram.data(), datagram.size(), 0,
                        reinterpret_cast<const sockaddr*>(&target),
                        sizeof target) == static_cast<ssize_t>(datagram.size());
    }

private:
    int m_fd = -1;
};

// A UDP port on 0.0.0.0 that nothing listens on right now.
inline uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t length = sizeof local;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        port = ntohs(local.sin_port);
    }
    ::close(fd);
    return port;
}

// Holds a UDP port on 0.0.0.0 for as long as it lives, as another program would.
class PortHolder {
public:
    explicit PortHolder(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        m_held = ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    }
    ~PortHolder() { ::close(m_fd); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool IsHeld() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

} // namespace testing_support
