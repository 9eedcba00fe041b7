// One SMB negotiation request over a plain socket. An SMB2-capable server answers a request that
// also lists the SMB2 dialects in the SMB2 format; a server that stays with SMB1 answers in the
// SMB1 format. The share library, which never offers SMB1, only sees its connection dropped.
#include "wizard/transfer/SmbSession.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class SocketHandle {
public:
    explicit SocketHandle(int fd) : m_fd(fd) {}
    ~SocketHandle() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int RemainingMilliseconds(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, RemainingMilliseconds(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// The SMB1 negotiate request, in its session-service frame, offering "NT LM 0.12" (index 0)
// and the two SMB2 dialect strings.
std::vector<unsigned char> NegotiateRequest() {
    std::vector<unsigned char> frame = {
        0,    0,    0,   0,   // session message, 24-bit length set below
        0xFF, 'S',  'M', 'B', // protocol
        0x72,                 // negotiate
        0,    0,    0,   0,   // status
        0x18,                 // flags: case-insensitive paths, canonical names
        0x01, 0xC8,           // flags2: long names, extended security, NT status, Unicode
        0,    0,              // process id, high part
        0,    0,    0,   0,   0, 0, 0, 0, // security features
        0,    0,                          // reserved
        0xFF, 0xFF,                       // tree id
        0x2F, 0x4B,                       // process id
        0,    0,                          // user id
        0,    0,                          // multiplex id
        0,                                // word count
        0,    0,                          // byte count, set below
    };
    const size_t byteCountAt = frame.size() - 2;
    for (const char* dialect : {"NT LM 0.12", "SMB 2.002", "SMB 2.???"}) {
        frame.push_back(0x02);
        for (const char* c = dialect; *c != '\0'; ++c) {
            frame.push_back(static_cast<unsigned char>(*c));
        }
        frame.push_back(0);
    }
    const size_t bytes = frame.size() - byteCountAt - 2;
    frame[byteCountAt] = static_cast<unsigned char>(bytes & 0xFF);
    frame[byteCountAt + 1] = static_cast<unsigned char>(bytes >> 8);
    const size_t length = frame.size() - 4;
    frame[2] = static_cast<unsigned char>(length >> 8);
    frame[3] = static_cast<unsigned char>(length & 0xFF);
    return frame;
}

int Connect(const SmbEndpoint& endpoint, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(endpoint.port != 0 ? endpoint.port : 445);
    if (::getaddrinfo(endpoint.host.c_str(), port.c_str(), &hints, &found) != 0) {
        return -1;
    }
    int connected = -1;
    for (addrinfo* address = found; address != nullptr && connected < 0;
         address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            continue;
        }
        bool ok = ::connect(fd, address->ai_addr, address->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline)) {
            int error = 0;
            socklen_t length = sizeof error;
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (ok) {
            connected = fd;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    return connected;
}

bool SendAll(int fd, const std::vector<unsigned char>& data, Clock::time_point deadline) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t done = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (done > 0) {
            sent += static_cast<size_t>(done);
        } else if (done < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitFor(fd, POLLOUT, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Reads until `wanted` bytes are there, the peer closes or the deadline passes.
void ReceiveAtLeast(int fd, std::vector<unsigned char>& into, size_t wanted,
                    Clock::time_point deadline) {
    std::array<unsigned char, 512> buffer{};
    while (into.size() < wanted) {
        const ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (got > 0) {
            into.insert(into.end(), buffer.begin(), buffer.begin() + got);
        } else if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitFor(fd, POLLIN, deadline)) {
                return;
            }
        } else {
            return;
        }
    }
}

} // namespace

SmbDialectOffer ProbeSmbDialects(const SmbEndpoint& endpoint, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    SocketHandle socket(Connect(endpoint, deadline));
    if (socket.get() < 0 || !SendAll(socket.get(), NegotiateRequest(), deadline)) {
        return SmbDialectOffer::Unknown;
    }
    // Frame header, protocol id, and for SMB1 the rest of the header, the word count and the
    // chosen dialect's index.
    constexpr size_t kFrame = 4;
    constexpr size_t kSmb1DialectIndex = kFrame + 32 + 1;
    std::vector<unsigned char> reply;
    ReceiveAtLeast(socket.get(), reply, kFrame + 4, deadline);
    if (reply.size() < kFrame + 4 || reply[0] != 0 || reply[kFrame + 1] != 'S' ||
        reply[kFrame + 2] != 'M' || reply[kFrame + 3] != 'B') {
        return SmbDialectOffer::Unknown;
    }
    if (reply[kFrame] == 0xFE) {
        return SmbDialectOffer::Smb2OrLater;
    }
    if (reply[kFrame] != 0xFF) {
        return SmbDialectOffer::Unknown;
    }
    ReceiveAtLeast(socket.get(), reply, kSmb1DialectIndex + 2, deadline);
    if (reply.size() < kSmb1DialectIndex + 2 || reply[kFrame + 4] != 0x72) {
        return SmbDialectOffer::Unknown;
    }
    // Index 0 is the SMB1 dialect; 0xFFFF says none was acceptable. Either way SMB2 was
    // passed over.
    const unsigned index = reply[kSmb1DialectIndex] | (reply[kSmb1DialectIndex + 1] << 8);
    return index == 0 || index == 0xFFFF ? SmbDialectOffer::Smb1Only : SmbDialectOffer::Unknown;
}
