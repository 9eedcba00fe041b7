// Where the locate step's worker gets announcement datagrams from: an IPv4 datagram endpoint on
// all local interfaces: CPosixAnnouncementSocket on Linux, CWinsockAnnouncementSocket on Windows.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

enum class ReceiverOpenStatus {
    Opened,
    AddressInUse, // another socket holds the port; trying again later may work
    Failed,
};

enum class ReceiveStatus {
    Received,
    Nothing,   // no datagram arrived within the wait
    Oversized, // a datagram longer than the buffer arrived and was dropped
    Failed,    // the endpoint is no longer usable
};

struct ReceivedDatagram {
    std::size_t length = 0;
    uint32_t sourceAddress = 0; // host byte order
};

class CAbstractAnnouncementReceiver {
public:
    virtual ~CAbstractAnnouncementReceiver() = default;

    // Opens the endpoint on every local interface at port. An open endpoint is closed first.
    virtual ReceiverOpenStatus Open(uint16_t port) = 0;
    virtual void Close() = 0;

    // Waits at most `wait` for one datagram and copies it into buffer.
    virtual ReceiveStatus Receive(std::span<char> buffer, std::chrono::milliseconds wait,
                                  ReceivedDatagram& datagram) = 0;

    // The system's error number of the last failure, for diagnostics.
    virtual int LastError() const = 0;
};

using AnnouncementReceiverFactory = std::function<std::unique_ptr<CAbstractAnnouncementReceiver>()>;

// The receiver of this platform.
std::unique_ptr<CAbstractAnnouncementReceiver> CreatePlatformAnnouncementReceiver();
