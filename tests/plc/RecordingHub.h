#pragma once

#include "link/ILinkHub.h"

#include <cstdint>
#include <string>
#include <vector>

// A hub without a link: keeps every frame sent and every message shown.
class RecordingHub : public ILinkHub {
public:
    void SendToLink(const std::uint8_t* bytes, int count) override {
        m_sent.emplace_back(bytes, bytes + count);
    }
    bool IsLinkUp() const override { return m_bUp; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }

    bool m_bUp = true;
    std::vector<std::vector<std::uint8_t>> m_sent;
    std::vector<std::string> m_messages;
};
