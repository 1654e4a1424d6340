#include "link/CHexCodec.h"

#include "link/ILinkHub.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kUpperDigits[] = "0123456789ABCDEF";

bool IsTypedBlank(char c) {
    return c == ' ' || c == '\t';
}

// Characters of a UTF-8 text before byte offset `at`, plus one: the
// position a user counts.
std::size_t CharPosition(std::string_view text, std::size_t at) {
    std::size_t n = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ++n;
    return n;
}

// The character at byte offset `at` as a user can read it.
std::string CharAt(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F) {
        char code[8];
        std::snprintf(code, sizeof code, "U+%04X", c);
        return code;
    }
    std::size_t n = 1;
    while (at + n < text.size() && (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80)
        ++n;
    return "'" + std::string(text.substr(at, n)) + "'";
}

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

bool CHexCodec::Decode(std::string_view hex, std::string& bytes) const {
    std::size_t at = 0;
    const HexError error = ParseHexText(hex, bytes, at);
    if (error == HEX_OK)
        return true;
    if (m_fnShowMessage)
        m_fnShowMessage(error == HEX_ODD_DIGITS ? std::string(kOddDigitsMessage)
                                                : HexErrorText(hex, error, at));
    return false;
}

std::string CHexCodec::HexToAscii(std::string_view hex) const {
    std::string bytes;
    return Decode(hex, bytes) ? bytes : std::string();
}

std::string CHexCodec::HexCrc16(std::string_view hex) const {
    std::string bytes;
    if (!Decode(hex, bytes))
        return {};
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

CHexCodec::HexError CHexCodec::ParseHexText(std::string_view text, std::string& bytes,
                                            std::size_t& errorPos) {
    bytes.clear();
    errorPos = 0;
    // Every character is looked at first, so the first wrong one is named
    // whatever else is wrong.
    std::size_t digits = 0;
    std::size_t lastDigit = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsTypedBlank(text[i]))
            continue;
        if (DigitValue(text[i]) < 0) {
            errorPos = i;
            return HEX_BAD_DIGIT;
        }
        ++digits;
        lastDigit = i;
    }
    if (digits % 2 != 0) {
        errorPos = lastDigit;
        return HEX_ODD_DIGITS;
    }
    std::string out;
    out.reserve(digits / 2);
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsTypedBlank(text[i])) {
            if (high >= 0) {
                errorPos = i;
                return HEX_SPLIT_PAIR;
            }
            continue;
        }
        const int v = DigitValue(text[i]);
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<char>(high * 16 + v));
            high = -1;
        }
    }
    bytes = std::move(out);
    return HEX_OK;
}

std::string CHexCodec::HexErrorText(std::string_view text, HexError error, std::size_t errorPos) {
    const std::string where = std::to_string(CharPosition(text, errorPos)) + "번째 글자";
    switch (error) {
    case HEX_BAD_DIGIT:
        return "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: " + CharAt(text, errorPos) + " (" +
               where + ")";
    case HEX_ODD_DIGITS:
        return kOddDigitsMessage;
    case HEX_SPLIT_PAIR:
        return "16진수는 두 자리씩 붙여 써야 합니다: " + where + "의 빈칸이 한 바이트를 나눕니다.";
    default:
        return {};
    }
}

std::size_t CHexCodec::CountDigits(std::string_view text) {
    // Characters, not bytes: a Korean letter typed by mistake counts once.
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return !IsTypedBlank(c) && (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
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
