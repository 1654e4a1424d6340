#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class CLinkManager;

// A command line's link once "통신 설정" has opened it: sends the queued
// blocks, in order, as soon as the link can carry them (a client once it is
// connected, a server once a client is there), and tells when the link has
// ended for good (a connect that failed, a peer that closed, a serial device
// that went away), so the command stops instead of waiting out its time.
class CCliLinkWatch {
public:
    using Block = std::vector<std::uint8_t>;

    CCliLinkWatch(const CLinkManager& manager, std::vector<Block> blocks);

    // Sends what can go now through send (the hub); false once the link has
    // ended.
    template <typename Send> bool Poll(Send&& send) {
        Update();
        while (m_nNext < m_blocks.size() && CanSend()) {
            const Block& b = m_blocks[m_nNext++];
            send(b.data(), static_cast<int>(b.size()));
        }
        return !m_bEnded;
    }

    // The link could carry bytes at some time: opened, and for a client
    // connected.
    bool CameUp() const { return m_bCameUp; }
    bool Ended() const { return m_bEnded; }
    std::size_t Unsent() const { return m_blocks.size() - m_nNext; }

    // The run's exit status, 0 or 1: 1 when the link never came up, went
    // down, or left blocks unsent, each said on err after the command's
    // name. The link's own reason has been printed already when it gave one.
    int Verdict(std::ostream& err, const std::string& command) const;

private:
    void Update();
    bool CanSend() const;

    const CLinkManager& m_manager;
    std::vector<Block> m_blocks;
    std::size_t m_nNext = 0;
    bool m_bCameUp = false;
    bool m_bEnded = false;
};
