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

bool CLinkValueCheck::IsReservedInvalid(const std::string& host) {
    std::string name;
    for (char c : host) {
        if (c != ' ' && c != '\t')
            name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    const std::string tld = ".invalid";
    return name == "invalid" || (name.size() > tld.size() &&
                                 name.compare(name.size() - tld.size(), tld.size(), tld) == 0);
}

bool CLinkValueCheck::IsIpxSocket(const std::string& text) {
    return IsHex(text, kSocketDigits) && text.find_first_not_of('0') != std::string::npos;
}
