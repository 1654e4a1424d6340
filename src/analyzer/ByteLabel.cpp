#include "analyzer/ByteLabel.h"

namespace {
const char* const kControlLabels[33] = {
    "nul", "soh", "stx", "ext", "eot", "enq", "ack", "bel", "bs",  "ht",  "lf",
    "vt",  "ff",  "cr",  "so",  "si",  "dle", "dc1", "dc2", "dc3", "dc4", "nak",
    "syn", "etb", "can", "em",  "sub", "esc", "fs",  "gs",  "rs",  "us",  "sp"};
} // namespace

std::string ByteLabel(std::uint8_t byte) {
    if (byte <= 32)
        return kControlLabels[byte];
    // DEL, the C1 controls, the no-break space and the soft hyphen draw
    // nothing as characters; they show their hex digits so that no byte
    // looks like an empty cell.
    if (byte == 0x7F || (byte >= 0x80 && byte <= 0xA0) || byte == 0xAD)
        return ByteHex(byte);
    if (byte < 0x80)
        return std::string(1, static_cast<char>(byte));
    std::string out;
    out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
    out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    return out;
}

std::string ByteHex(std::uint8_t byte) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[byte >> 4], digits[byte & 0x0F]};
}
