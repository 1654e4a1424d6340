#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The chat screen's receive side: bytes from the link in any split become
// lines. A line ends at CR LF, looked for from the start of what is held,
// across deliveries; every line ended in one delivery is shown, in order,
// and what follows the last CR LF waits for more. What arrives without a
// line end is shown after 0.7 s of silence (the seventh 100-ms tick).
//
// Lines are shown whole, however long. So that a peer that never stops
// sending cannot make the buffer grow without end, a buffer that reaches
// kMaxHeld bytes without a line end is shown as a line there.
class CChatLineBuffer {
public:
    static constexpr int TICK_MS = 100;
    static constexpr int kSilenceMs = 500;
    static constexpr std::size_t kMaxHeld = 1 << 20;
    static constexpr const char* kPeerPrefix = "[상대편] : ";
    static constexpr const char* kOwnPrefix = "[나....] : ";

    // The list lines (UTF-8) the delivery completes.
    std::vector<std::string> OnReceive(const std::uint8_t* data, int length);
    // One 100-ms tick; the line it flushes, if any.
    std::vector<std::string> OnTimer();

    std::size_t GetHeldBytes() const { return m_held.size(); }
    int GetSilenceTicks() const { return m_nSilence; }

    // The list line of a received line of CP949 bytes: up to its first NUL.
    static std::string PeerLine(std::string_view cp949);
    // The list line of what the user sent (UTF-8).
    static std::string OwnLine(std::string_view utf8);
    // The bytes that go on the wire for a typed text: CP949 and CR LF.
    static std::string WireBytes(std::string_view utf8);

private:
    // The held bytes as a line (when there are any); empties them.
    void Flush(std::vector<std::string>& lines);

    std::string m_held;
    std::size_t m_nSearched = 0; // bytes already known to hold no CR LF
    int m_nSilence = 0;
};
