#pragma once

#include "link/CLinkEndpoint.h"

#include <cstdint>
#include <functional>

class QTcpSocket;

// What an accepted connection and a client share: one stream socket, read
// in blocks of at most 16384 bytes and written with a bounded queue.
class CStreamEndpoint : public CLinkEndpoint {
    Q_OBJECT
public:
    static constexpr int kBlockBytes = 16384;
    static constexpr qint64 kMaxQueuedBytes = 1024 * 1024;

    // Takes the socket as its child.
    explicit CStreamEndpoint(QTcpSocket* socket);
    ~CStreamEndpoint() override;

    void Close();
    QTcpSocket* GetSocket() const { return m_pSocket; }

protected:
    // Writes the block on a connected socket; false when it was not
    // written. A peer that stops reading does not make the queue grow
    // without end: past the limit a block is dropped, as a send that would
    // block is.
    bool WriteBlock(const std::uint8_t* bytes, int count);
    // Hands everything waiting on, block by block, while the endpoint is open.
    void ReadBlocks(const std::function<void(const std::uint8_t*, int)>& deliver);
    bool IsOpen() const { return m_bOpen; }

    QTcpSocket* m_pSocket;

private:
    bool m_bOpen = true;
};
