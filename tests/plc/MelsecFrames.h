#pragma once

#include <cstdio>
#include <string>

// MELSEC computer-link frames written out by hand for the tests: the sum is
// the byte sum of the characters after the leading control byte.
namespace melsec_test {

inline std::string WithSum(const std::string& frame) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < frame.size(); ++i)
        sum += static_cast<unsigned char>(frame[i]);
    char check[3];
    std::snprintf(check, sizeof check, "%02X", sum & 0xFF);
    return frame + check;
}
// ENQ, the text and its sum.
inline std::string Request(const std::string& text) {
    return WithSum("\x05" + text);
}
// STX, the text, ETX and its sum.
inline std::string ReadData(const std::string& text) {
    return WithSum("\x02" + text + "\x03");
}

} // namespace melsec_test
