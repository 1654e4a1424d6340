#include "link/CSerialSettings.h"

#include <gtest/gtest.h>

namespace {

struct Expect {
    const char* text;
    int port, baud, parity, data, stop, dsr, cts;
};

TEST(SerialSettings, ReadsTheSettingsStringAsTheFormatDoes) {
    using S = CSerialSettings;
    const Expect cases[] = {
        {"", 2, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        {"1,9600,N,8,1,0,0", 1, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        {"3,19200,e,7,2,0,0", 3, 19200, S::PARITY_EVEN, 7, S::STOP_TWO, 0, 0},
        {"5,4800,o,8,1,1,1", 5, 4800, S::PARITY_ODD, 8, S::STOP_ONE, 1, 1},
        {"4,4800,X,8,1,0,0", 4, 4800, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        {"1,9600,N,8,3,0,0", 1, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        // Reading stops at the first field that does not match; later
        // fields keep their presets.
        {"6,57600", 6, 57600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        {"6,57600,E", 6, 57600, S::PARITY_EVEN, 8, S::STOP_ONE, 0, 0},
        {"6,X,E,7", 6, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        {"COM1", 2, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        // "%d" skips blanks before a number, "%c" takes the next character.
        {" 2, 115200,N, 8, 2", 2, 115200, S::PARITY_NONE, 8, S::STOP_TWO, 0, 0},
        {"2,9600, N,8,1,0,0", 2, 9600, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
        // A number too large for an int saturates instead of wrapping.
        {"1,99999999999999,N,8,1,0,0", 1, 2147483647, S::PARITY_NONE, 8, S::STOP_ONE, 0, 0},
    };
    for (const Expect& c : cases) {
        CSerialSettings s;
        s.Configure(c.text);
        EXPECT_EQ(s.m_nPort, c.port) << c.text;
        EXPECT_EQ(s.m_nBaud, c.baud) << c.text;
        EXPECT_EQ(s.m_nParity, c.parity) << c.text;
        EXPECT_EQ(s.m_nDataBits, c.data) << c.text;
        EXPECT_EQ(s.m_nStopBits, c.stop) << c.text;
        EXPECT_EQ(s.m_nDsrDtr, c.dsr) << c.text;
        EXPECT_EQ(s.m_nCtsRts, c.cts) << c.text;
    }
}

TEST(SerialSettings, AnUnknownParityLetterKeepsTheParityItHad) {
    CSerialSettings s;
    s.Configure("1,9600,O,8,1,0,0");
    s.Configure("4,4800,X,8,1,0,0");
    EXPECT_EQ(s.m_nParity, CSerialSettings::PARITY_ODD);
    EXPECT_EQ(s.m_nPort, 4);
}

} // namespace
