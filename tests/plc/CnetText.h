#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Cnet frames written as text: ^E ENQ, ^T EOT, ^A ACK, ^N NAK, ^X ETX.
inline std::string Cnet(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '^' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 'E':
            out += '\x05';
            break;
        case 'T':
            out += '\x04';
            break;
        case 'A':
            out += '\x06';
            break;
        case 'N':
            out += '\x15';
            break;
        case 'X':
            out += '\x03';
            break;
        default:
            out += '^';
            out += text[i];
            break;
        }
    }
    return out;
}

// The frame with its BCC appended: the byte sum, modulo 256, as "%02X".
inline std::string CnetBcc(const std::string& text) {
    const std::string frame = Cnet(text);
    unsigned sum = 0;
    for (char c : frame)
        sum += static_cast<std::uint8_t>(c);
    char bcc[3];
    std::snprintf(bcc, sizeof bcc, "%02X", sum & 0xFF);
    return frame + bcc;
}
