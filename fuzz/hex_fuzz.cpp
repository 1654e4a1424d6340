// Reads arbitrary text as typed hex: either every byte comes out and the
// decoding calls agree, or the text is refused whole with one message per
// call and a fault position inside the text.
#include "link/CHexCodec.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int messages = 0;
    CHexCodec codec([&](const std::string& message) {
        if (message.empty())
            __builtin_trap();
        ++messages;
    });

    std::string parsed;
    std::size_t at = 0;
    const CHexCodec::HexError error = CHexCodec::ParseHexText(text, parsed, at);
    const std::string decoded = codec.HexToAscii(text);
    const std::string crc = codec.HexCrc16(text);
    if (error != CHexCodec::HEX_OK) {
        if (!parsed.empty() || !decoded.empty() || !crc.empty() || messages != 2 || at >= size)
            __builtin_trap();
        if (CHexCodec::HexErrorText(text, error, at).empty())
            __builtin_trap();
        return 0;
    }
    if (messages != 0 || decoded != parsed || crc.size() != 4 ||
        2 * decoded.size() != CHexCodec::CountDigits(text))
        __builtin_trap();

    // The lenient fixed-size reader still never writes past its 4096 bytes.
    std::vector<std::uint8_t> bytes(4096, 0xEE);
    const int n = size > 0 ? static_cast<int>(data[0]) * 17 : 0;
    codec.HexToBytes(text, bytes.data(), n);

    const std::string hex = codec.AsciiToHex(decoded);
    if (codec.HexToAscii(hex) != decoded)
        __builtin_trap();
    return 0;
}
