// Announcement datagrams through a non-blocking Winsock UDP socket, waiting with WSAPoll.
#pragma once

#include "common/discovery/AnnouncementReceiver.h"

#include <cstdint>

class CWinsockAnnouncementSocket final : public CAbstractAnnouncementReceiver {
public:
    CWinsockAnnouncementSocket();
    ~CWinsockAnnouncementSocket() override;
    CWinsockAnnouncementSocket(const CWinsockAnnouncementSocket&) = delete;
    CWinsockAnnouncementSocket& operator=(const CWinsockAnnouncementSocket&) = delete;

    ReceiverOpenStatus Open(uint16_t port) override;
    void Close() override;
    ReceiveStatus Receive(std::span<char> buffer, std::chrono::milliseconds wait,
                          ReceivedDatagram& datagram) override;
    int LastError() const override { return m_lastError; }

private:
    enum class Attempt { Got, WouldBlock, Error };
    Attempt TryReceive(std::span<char> buffer, ReceivedDatagram& datagram, bool& oversized);

    // Winsock counts its users: each receiver starts it for its own life, so no program has to
    // remember to.
    bool m_started = false;
    std::uintptr_t m_socket;
    int m_lastError = 0;
};
