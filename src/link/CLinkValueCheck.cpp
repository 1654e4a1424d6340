#include "link/CLinkValueCheck.h"

#include "link/CHexCodec.h"

bool CLinkValueCheck::IsHex(const std::string& text, std::size_t count) {
    if (text.size() != count)
        return false;
    for (char c : text) {
        if (CHexCodec::DigitValue(c) < 0)
            return false;
    }
    return true;
}

bool CLinkValueCheck::IsIpxSocket(const std::string& text) {
    return IsHex(text, kSocketDigits) && text.find_first_not_of('0') != std::string::npos;
}
