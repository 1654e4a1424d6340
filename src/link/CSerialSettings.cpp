#include "link/CSerialSettings.h"

#include <cctype>
#include <climits>
#include <cstddef>

namespace {

// "%d": blanks, an optional sign, at least one digit. Values beyond an int
// saturate instead of overflowing.
bool ScanInt(const std::string& s, std::size_t& at, int& value) {
    std::size_t i = at;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i])))
        return false;
    long long v = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (v <= INT_MAX)
            v = v * 10 + (s[i] - '0');
        ++i;
    }
    if (v > INT_MAX)
        v = INT_MAX;
    value = static_cast<int>(negative ? -v : v);
    at = i;
    return true;
}

bool ScanComma(const std::string& s, std::size_t& at) {
    if (at < s.size() && s[at] == ',') {
        ++at;
        return true;
    }
    return false;
}

} // namespace

void CSerialSettings::Configure(const std::string& text) {
    std::string s = text;
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (s.empty())
        s = "2,9600,N,8,1,0,0";

    int port = 2, baud = 9600, data = 8, stop = 1, dsr = 0, cts = 0;
    char parity = 0;
    std::size_t at = 0;
    // Each step runs only while every field before it matched.
    if (ScanInt(s, at, port) && ScanComma(s, at) && ScanInt(s, at, baud) && ScanComma(s, at) &&
        at < s.size() && (parity = s[at++], ScanComma(s, at)) && ScanInt(s, at, data) &&
        ScanComma(s, at) && ScanInt(s, at, stop) && ScanComma(s, at) && ScanInt(s, at, dsr) &&
        ScanComma(s, at)) {
        ScanInt(s, at, cts);
    }

    m_nPort = port;
    m_nBaud = baud;
    if (parity == 'E')
        m_nParity = PARITY_EVEN;
    else if (parity == 'N')
        m_nParity = PARITY_NONE;
    else if (parity == 'O')
        m_nParity = PARITY_ODD;
    m_nDataBits = data;
    m_nStopBits = stop == 2 ? STOP_TWO : STOP_ONE;
    m_nDsrDtr = dsr;
    m_nCtsRts = cts;
}
