#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class ILinkHub;

// Hex text <-> bytes, the 8-bit sum and the Modbus CRC-16. Byte strings are
// std::string holding raw bytes (CP949 for text typed by the user).
class CHexCodec {
public:
    using MessageFn = std::function<void(const std::string&)>;

    static constexpr int kMaxBytes = 4096;
    static constexpr const char* kOddDigitsMessage = "데이터가 짝수여야 합니다. ";

    // showMessage receives the odd-digit message; the GUI hands the hub's
    // ShowMessage here, the CLI prints to stderr.
    explicit CHexCodec(MessageFn showMessage = {});
    explicit CHexCodec(ILinkHub& hub);
    virtual ~CHexCodec() = default;

    std::string AsciiToHex(std::string_view text) const;
    std::string HexToAscii(std::string_view hex) const;
    std::string HexCrc16(std::string_view hex) const;
    std::string SumCheck(std::string_view text) const;
    // Writes n decoded bytes (n clipped to 0..4096); pairs past the text give 0.
    void HexToBytes(std::string_view hex, std::uint8_t* dest, int n) const;
    std::string BytesToHex(const std::uint8_t* bytes, int n) const;

    static std::uint16_t Crc16(int count, const std::uint8_t* bytes, std::uint16_t start);
    // The value of one hex digit, -1 for any other character.
    static int DigitValue(char c);
    // One "%02X" pair as scanf reads it, confined to the two characters.
    static std::uint8_t ReadPair(std::string_view hex, std::size_t at);

private:
    // Decodes the pairs of an even-length text, at most 4096 bytes.
    std::string DecodeEven(std::string_view hex) const;
    bool CheckEven(std::string_view hex) const;

    MessageFn m_fnShowMessage;
};
