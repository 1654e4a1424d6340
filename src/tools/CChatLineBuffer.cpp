#include "tools/CChatLineBuffer.h"

#include "link/CCp949.h"

std::vector<std::string> CChatLineBuffer::OnReceive(const std::uint8_t* data, int length) {
    std::vector<std::string> lines;
    m_nSilence = 0;
    if (!data || length < 1)
        return lines;
    m_held.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    // A CR at the end of what was searched may meet its LF now.
    std::size_t from = m_nSearched > 0 ? m_nSearched - 1 : 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = m_held.find("\r\n", from);
        if (end == std::string::npos)
            break;
        if (end > start)
            lines.push_back(PeerLine(std::string_view(m_held).substr(start, end - start)));
        start = end + 2;
        from = start;
    }
    m_held.erase(0, start);
    m_nSearched = m_held.size();
    if (m_held.size() >= kMaxHeld) {
        // The piece ends at a character: the first byte of a two-byte
        // character, or a CR that may meet its LF, waits for what follows.
        std::size_t at = 0;
        while (at < m_held.size())
            at += static_cast<unsigned char>(m_held[at]) >= 0x81 ? 2 : 1;
        const bool keepLast = at > m_held.size() || m_held.back() == '\r';
        const std::string rest = keepLast ? m_held.substr(m_held.size() - 1) : std::string();
        if (keepLast)
            m_held.pop_back();
        Flush(lines);
        m_held = rest;
        m_nSearched = m_held.size();
    }
    return lines;
}

std::vector<std::string> CChatLineBuffer::OnTimer() {
    std::vector<std::string> lines;
    const int old = m_nSilence;
    if (m_nSilence < 1000000)
        ++m_nSilence;
    if (old * TICK_MS > kSilenceMs) {
        Flush(lines);
        m_nSilence = 0;
    }
    return lines;
}

void CChatLineBuffer::Flush(std::vector<std::string>& lines) {
    if (!m_held.empty())
        lines.push_back(PeerLine(m_held));
    m_held.clear();
    m_nSearched = 0;
    m_nSilence = 0;
}

std::string CChatLineBuffer::PeerLine(std::string_view cp949) {
    return kPeerPrefix + CCp949::ToUtf8(cp949.substr(0, cp949.find('\0')));
}

std::string CChatLineBuffer::OwnLine(std::string_view utf8) {
    return kOwnPrefix + std::string(utf8);
}

std::string CChatLineBuffer::WireBytes(std::string_view utf8) {
    return CCp949::FromUtf8(utf8) + "\r\n";
}
