// quillet-cli sim ab: the simulated PLC-5 polled by quillet-cli poll ab over
// loopback TCP and a pty cable, its fault options, and its usage errors.
#include "cli/SimPoll.h"

namespace {

struct SAbRow {
    bool write;
    const char* file;
    int dst;
    int element;
    int count;
    int index;
};

// Allen-Bradley rows as the screen saves them (CP949 words), from node 0.
std::string AbRows(const std::vector<SAbRow>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const SAbRow& r : rows) {
        text += "[AB_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r.write ? write : read) +
                "\r\nPLCDEVICETYPE=WORD\r\nPLCDEVICENAME=" + r.file +
                "\r\nSRC=0\r\nDST=" + std::to_string(r.dst) +
                "\r\nPLCADDRESS=" + std::to_string(r.element) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[AB_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

class AbSim : public SimPoll, public ::testing::WithParamInterface<SimPoll::Transport> {};

TEST_P(AbSim, ReadsAndWritesArriveOnBothSides) {
    // The write goes first (the second row); the last row reads it back.
    // 4112 is 0x1010: both of its bytes are doubled on the wire.
    const std::string rows = Rows(AbRows({{false, "N7", 3, 0, 2, 0},
                                          {true, "N7", 3, 50, 2, 10},
                                          {false, "B3", 3, 4, 1, 5},
                                          {false, "N7", 3, 50, 2, 20}}));
    const Result r =
        Run("ab", GetParam(),
            {"--station", "3", "--set", "N7:0=100", "--set", "N7:1=4112", "--set", "B3:4=0x8001"},
            {"--rows", rows, "--set", "10=4660", "--set", "11=-1"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    const std::map<int, unsigned> expected = {{0, 100},    {1, 4112},  {5, 0x8001}, {10, 4660},
                                              {11, 65535}, {20, 4660}, {21, 65535}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    EXPECT_EQ(r.Writes(), (std::vector<std::string>{"N7 50 4660", "N7 51 65535"})) << r.simOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 4) << r.pollOut;
    EXPECT_EQ(Result::Count(r.simOut, "requests"), 4) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, AbSim, ::testing::Values(SimPoll::TCP, SimPoll::PTY),
                         [](const auto& way) {
                             return std::string(way.param == SimPoll::TCP ? "Tcp" : "Pty");
                         });

// A spoiled reply frame is NAKed and sent again, so it costs no row; a
// dropped request is given up by the time-out. The values stay right.
TEST_F(SimPoll, AbSpoiledFramesAreRepeatedAndDroppedRequestsTimeOut) {
    const std::string rows = Rows(AbRows({{false, "N7", 1, 0, 1, 0}, {true, "N7", 1, 9, 1, 1}}));
    const Result r =
        Run("ab", TCP, {"--set", "N7:0=100", "--corrupt-every", "2", "--drop-every", "4"},
            {"--rows", rows, "--cycles", "4", "--set", "1=200"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 8) << r.pollOut;
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2) << r.pollOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 6) << r.pollOut;
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 0) << r.pollOut;
    EXPECT_EQ(Result::Count(r.simOut, "dropped"), 2) << r.simOut;
    EXPECT_GE(Result::Count(r.simOut, "corrupted"), 2) << r.simOut;
    EXPECT_EQ(r.Memory(), (std::map<int, unsigned>{{0, 100}, {1, 200}})) << r.pollOut;
    for (const std::string& w : r.Writes())
        EXPECT_EQ(w, "N7 9 200");
}

TEST_F(SimPoll, AbUsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{"--set", "X:0=1"}, "no data file 'X'"},  {{"--set", "0=1"}, "no data file ''"},
        {{"--set", "N7:1000=1"}, "outside 0-999"}, {{"--set", "N7:0=70000"}, "16-bit"},
        {{"--station", "255"}, "0-254"},           {{"--mode", "rtu"}, "no modes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim",    "ab", "--link",
                                         "tcp-server",     "--port", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << c.said;
        EXPECT_NE(ReadFile(m_dir / "err").find(c.said), std::string::npos)
            << c.said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
