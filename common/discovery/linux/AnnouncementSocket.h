// Announcement datagrams through a non-blocking POSIX UDP socket, waiting with poll.
#pragma once

#include "common/discovery/AnnouncementReceiver.h"

class CPosixAnnouncementSocket final : public CAbstractAnnouncementReceiver {
public:
    CPosixAnnouncementSocket() = default;
    ~CPosixAnnouncementSocket() override;
    CPosixAnnouncementSocket(const CPosixAnnouncementSocket&) = delete;
    CPosixAnnouncementSocket& operator=(const CPosixAnnouncementSocket&) = delete;

    ReceiverOpenStatus Open(uint16_t port) override;
    void Close() override;
    ReceiveStatus Receive(std::span<char> buffer, std::chrono::milliseconds wait,
                          ReceivedDatagram& datagram) override;
    int LastError() const override { return m_lastError; }

private:
    enum class Attempt { Got, WouldBlock, Error };
    Attempt TryReceive(std::span<char> buffer, ReceivedDatagram& datagram, bool& oversized);

    int m_fd = -1;
    int m_lastError = 0;
};
