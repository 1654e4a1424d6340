#include "link/CHexCodec.h"

#include "link/ILinkHub.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kUpperDigits[] = "0123456789ABCDEF";

bool IsScanfBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void AppendUpperHex(std::string& out, std::uint8_t b) {
    out.push_back(kUpperDigits[b >> 4]);
    out.push_back(kUpperDigits[b & 0x0F]);
}

} // namespace

CHexCodec::CHexCodec(MessageFn showMessage) : m_fnShowMessage(std::move(showMessage)) {}

CHexCodec::CHexCodec(ILinkHub& hub)
    : m_fnShowMessage([&hub](const std::string& text) { hub.ShowMessage(text); }) {}

std::uint8_t CHexCodec::ReadPair(std::string_view hex, std::size_t at) {
    if (at >= hex.size())
        return 0;
    std::string_view pair = hex.substr(at, 2);
    std::size_t i = 0;
    while (i < pair.size() && IsScanfBlank(pair[i]))
        ++i;
    int value = 0;
    int digits = 0;
    for (; i < pair.size() && digits < 2; ++i, ++digits) {
        int v = CHexCodec::DigitValue(pair[i]);
        if (v < 0)
            break;
        value = value * 16 + v;
    }
    return static_cast<std::uint8_t>(value);
}

std::string CHexCodec::AsciiToHex(std::string_view text) const {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text)
        AppendUpperHex(out, static_cast<std::uint8_t>(c));
    return out;
}

bool CHexCodec::CheckEven(std::string_view hex) const {
    if (hex.size() % 2 == 0)
        return true;
    if (m_fnShowMessage)
        m_fnShowMessage(kOddDigitsMessage);
    return false;
}

std::string CHexCodec::DecodeEven(std::string_view hex) const {
    std::size_t n = std::min<std::size_t>(hex.size() / 2, kMaxBytes);
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(ReadPair(hex, 2 * i));
    return out;
}

std::string CHexCodec::HexToAscii(std::string_view hex) const {
    if (!CheckEven(hex))
        return {};
    return DecodeEven(hex);
}

std::string CHexCodec::HexCrc16(std::string_view hex) const {
    if (!CheckEven(hex))
        return {};
    std::string bytes = DecodeEven(hex);
    std::uint16_t crc = Crc16(static_cast<int>(bytes.size()),
                              reinterpret_cast<const std::uint8_t*>(bytes.data()), 0xFFFF);
    char out[5];
    std::snprintf(out, sizeof out, "%02x%02x", crc & 0xFF, crc >> 8);
    return out;
}

std::string CHexCodec::SumCheck(std::string_view text) const {
    std::uint8_t sum = 0;
    for (char c : text)
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    std::string out;
    AppendUpperHex(out, sum);
    return out;
}

void CHexCodec::HexToBytes(std::string_view hex, std::uint8_t* dest, int n) const {
    n = std::clamp(n, 0, kMaxBytes);
    for (int i = 0; i < n; ++i)
        dest[i] = ReadPair(hex, 2 * static_cast<std::size_t>(i));
}

std::string CHexCodec::BytesToHex(const std::uint8_t* bytes, int n) const {
    std::string out;
    if (n <= 0)
        return out;
    out.reserve(2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        AppendUpperHex(out, bytes[i]);
    return out;
}

std::uint16_t CHexCodec::Crc16(int count, const std::uint8_t* bytes, std::uint16_t start) {
    std::uint16_t crc = start;
    for (int i = 0; i < count; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

int CHexCodec::DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
