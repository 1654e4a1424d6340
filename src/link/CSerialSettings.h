#pragma once

#include <string>

// The serial settings string "%d,%d,%c,%d,%d,%d,%d": port, baud, parity
// letter, data bits, stop bits, DSR/DTR and CTS/RTS handshake flags.
class CSerialSettings {
public:
    enum Parity { PARITY_NONE = 0, PARITY_EVEN = 1, PARITY_ODD = 2 };
    enum StopBits { STOP_ONE = 0, STOP_TWO = 2 };

    int m_nPort = 2;
    int m_nBaud = 9600;
    int m_nParity = PARITY_NONE;
    int m_nDataBits = 8;
    int m_nStopBits = STOP_ONE;
    int m_nDsrDtr = 0;
    int m_nCtsRts = 0;

    // Reads the text as the scanf format would: the fields after the first
    // one that does not match keep their presets; an unknown parity letter
    // keeps the parity this object had.
    void Configure(const std::string& text);
};
