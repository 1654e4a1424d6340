// quillet-cli poll posfa polling quillet-cli sim posfa, in both framings,
// over loopback TCP and a pty cable, with the station's fault options.
#include "cli/SimPoll.h"

namespace {

struct SRow {
    bool write;
    const char* unit;
    const char* device;
    int address, count, index;
};

// POSFA rows as the screen saves them (CP949 words), station 3, PLC 255.
std::string PosfaRows(const std::vector<SRow>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const SRow& r : rows) {
        text += "[POSFA_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r.write ? write : read) +
                "\r\nSTATIONNUM=3\r\nPLCNUM=255\r\nPLCDEVICETYPE=" + r.unit +
                "\r\nPLCDEVICENAME=" + r.device + "\r\nPLCADDRESS=" + std::to_string(r.address) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[POSFA_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

struct Way {
    const char* name;
    SimPoll::Transport transport;
    const char* mode;
};

class PosfaSim : public SimPoll, public ::testing::WithParamInterface<Way> {};

TEST_P(PosfaSim, ReadsAndWritesArriveOnBothSides) {
    const bool lan = std::string(GetParam().mode) == "lan";
    // The write rows go first; the third row reads back what the first wrote.
    const std::string rows = Rows(PosfaRows({
        {false, "WORD", "C", 100, 2, 0},
        {true, "WORD", "T", 0x20, 2, 10},
        {false, "WORD", "T", 0x20, 2, 20},
        {false, lan ? "WORD" : "BIT", "X", 0x12, 2, 30},
        {true, lan ? "WORD" : "BIT", lan ? "WY" : "Y", 5, 2, 40},
    }));
    const Result r = Run("posfa", GetParam().transport,
                         {"--mode", GetParam().mode, "--station", "3", "--set", "C:100=4660",
                          "--set", "C:101=0xFFFF", "--set", "X:0x13=1", "--set", "WY:6=9"},
                         {"--rows", rows, "--mode", GetParam().mode, "--set", "10=11", "--set",
                          "11=65535", "--set", "40=1"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    // Word access to X takes the 16 bits from the address upward: X13 is bit 1.
    const std::map<int, unsigned> expected = {{0, 4660},
                                              {1, 65535},
                                              {10, 11},
                                              {11, 65535},
                                              {20, 11},
                                              {21, 65535},
                                              {lan ? 30 : 31, lan ? 2u : 1u},
                                              {40, 1}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    const std::vector<std::string> writes =
        lan ? std::vector<std::string>{"T 32 11", "T 33 65535", "WY 5 1", "WY 6 0"}
            : std::vector<std::string>{"T 32 11", "T 33 65535", "Y 5 1", "Y 6 0"};
    EXPECT_EQ(r.Writes(), writes) << r.simOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 5) << r.pollOut;
    EXPECT_EQ(Result::Count(r.simOut, "replies"), 5) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, PosfaSim,
                         ::testing::Values(Way{"TcpText", SimPoll::TCP, "rs232c"},
                                           Way{"TcpLan", SimPoll::TCP, "lan"},
                                           Way{"PtyText", SimPoll::PTY, "rs232c"},
                                           Way{"PtyLan", SimPoll::PTY, "lan"}),
                         [](const auto& way) { return std::string(way.param.name); });

TEST_F(SimPoll, PosfaSpoiledAndDroppedRepliesTakeThePollsRepeatPaths) {
    const std::string rows =
        Rows(PosfaRows({{false, "WORD", "C", 0, 1, 0}, {false, "WORD", "C", 1, 1, 1}}));
    // Six requests: the 2nd and 4th reply spoiled, the 3rd and 6th request dropped.
    const Result r = Run("posfa", TCP,
                         {"--station", "3", "--set", "C:0=100", "--set", "C:1=200",
                          "--corrupt-every", "2", "--drop-every", "3"},
                         {"--rows", rows, "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 6);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "dropped"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "corrupted"), 2);
    for (const auto& [index, value] : r.Memory())
        EXPECT_EQ(value, index == 0 ? 100u : 200u) << index;
}

TEST_F(SimPoll, PosfaUsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{"--mode", "ascii"}, "no mode 'ascii'"}, {{"--set", "D:1=2"}, "no device 'D'"},
        {{"--set", "X:1=2"}, "0 or 1"},           {{"--set", "WX:0x1000=1"}, "0-4095"},
        {{"--station", "256"}, "0-255"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim",    "posfa", "--link",
                                         "tcp-server",     "--port", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << c.said;
        EXPECT_NE(ReadFile(m_dir / "err").find(c.said), std::string::npos)
            << c.said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
