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

    // What ParseHexText found wrong with a typed hex text.
    enum HexError {
        HEX_OK = 0,
        HEX_BAD_DIGIT,  // a character that is neither a hex digit nor a blank
        HEX_ODD_DIGITS, // an odd number of digits
        HEX_SPLIT_PAIR, // a blank inside a pair ("4 142")
    };

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

    // The one strict reading of hex typed by a user (send box, check tools,
    // command line): pairs of hex digits in either case, blanks (space, tab)
    // allowed between pairs and around the text, nothing else. On success
    // `bytes` holds every decoded byte, without any length limit. On failure
    // `bytes` is empty and `errorPos` is the byte offset in `text` of the
    // offending character (for HEX_ODD_DIGITS, of the last digit).
    static HexError ParseHexText(std::string_view text, std::string& bytes, std::size_t& errorPos);
    // The user's message for a refused text, naming the character and its
    // position counted in characters from 1. `text` is UTF-8.
    static std::string HexErrorText(std::string_view text, HexError error, std::size_t errorPos);
    // Number of non-blank characters of a UTF-8 text: the digits a send box
    // counts before the text is checked.
    static std::size_t CountDigits(std::string_view text);

    static std::uint16_t Crc16(int count, const std::uint8_t* bytes, std::uint16_t start);
    // The value of one hex digit, -1 for any other character.
    static int DigitValue(char c);
    // One "%02X" pair as scanf reads it, confined to the two characters.
    static std::uint8_t ReadPair(std::string_view hex, std::size_t at);

private:
    // Decodes a hex text strictly; on a refusal shows its message and
    // returns false.
    bool Decode(std::string_view hex, std::string& bytes) const;

    MessageFn m_fnShowMessage;
};
