// Decodes arbitrary text as hex digits; results stay within 4096 bytes and
// agree between the decoding calls.
#include "link/CHexCodec.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int messages = 0;
    CHexCodec codec([&](const std::string&) { ++messages; });

    const std::string decoded = codec.HexToAscii(text);
    const std::string crc = codec.HexCrc16(text);
    if (size % 2) {
        if (!decoded.empty() || !crc.empty() || messages != 2)
            __builtin_trap();
        return 0;
    }
    if (decoded.size() != std::min<std::size_t>(size / 2, 4096) || crc.size() != 4)
        __builtin_trap();

    std::vector<std::uint8_t> bytes(4096, 0xEE);
    const int n = size > 0 ? static_cast<int>(data[0]) * 17 : 0;
    codec.HexToBytes(text, bytes.data(), n);
    for (int i = 0; i < std::min(n, 4096); ++i) {
        const std::uint8_t expect =
            static_cast<std::size_t>(i) < decoded.size()
                ? static_cast<std::uint8_t>(decoded[static_cast<std::size_t>(i)])
                : 0;
        if (bytes[static_cast<std::size_t>(i)] != expect)
            __builtin_trap();
    }
    const std::string hex = codec.AsciiToHex(decoded);
    if (codec.HexToAscii(hex) != decoded)
        __builtin_trap();
    return 0;
}
