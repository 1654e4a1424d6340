// quillet-cli poll melsec against quillet-cli sim melsec over loopback TCP
// and a pty cable: words and bits read and written, checked on both sides.
#include "cli/SimPoll.h"

namespace {

struct MelsecRow {
    bool write;
    const char* unit;
    const char* device;
    int address, count, index;
};

// MELSEC rows as the screen saves them (CP949 words), station 3, PLC FF.
std::string MelsecRows(const std::vector<MelsecRow>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const MelsecRow& r : rows) {
        text += "[MELSEC_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r.write ? write : read) +
                "\r\nSTATIONNUM=3\r\nPLCNUM=255\r\nPLCDEVICETYPE=" + r.unit +
                "\r\nPLCDEVICENAME=" + r.device + "\r\nPLCADDRESS=" + std::to_string(r.address) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[MELSEC_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

class MelsecSim : public SimPoll, public ::testing::WithParamInterface<SimPoll::Transport> {};

TEST_P(MelsecSim, ReadsAndWritesOfWordsAndBitsArriveOnBothSides) {
    // The row after each write reads back what it wrote.
    const std::string rows = Rows(MelsecRows({{false, "WORD", "D", 100, 2, 0},
                                              {true, "WORD", "D", 200, 2, 10},
                                              {false, "WORD", "D", 200, 2, 20},
                                              {true, "BIT", "M", 100, 3, 30},
                                              {false, "BIT", "M", 100, 3, 40},
                                              {false, "WORD", "X", 0, 1, 50},
                                              {false, "BIT", "M", 50, 1, 60}}));
    const Result r = Run(
        "melsec", GetParam(),
        {"--station", "3", "--set", "D:100=11", "--set", "D:101=-1", "--set", "X:0x4=1", "--set",
         "m:50=1"},
        {"--rows", rows, "--set", "10=11", "--set", "11=65535", "--set", "30=1", "--set", "32=5"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    const std::map<int, unsigned> expected = {{0, 11},  {1, 65535},  {10, 11}, {11, 65535},
                                              {20, 11}, {21, 65535}, {30, 1},  {32, 5},
                                              {40, 1},  {42, 1},     {50, 16}, {60, 1}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    EXPECT_EQ(r.Writes(), (std::vector<std::string>{"D 200 11", "D 201 65535", "M 100 1", "M 101 0",
                                                    "M 102 1"}))
        << r.simOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 7) << r.pollOut;
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 0);
    EXPECT_EQ(Result::Count(r.simOut, "replies"), 7) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, MelsecSim, ::testing::Values(SimPoll::TCP, SimPoll::PTY),
                         [](const auto& way) {
                             return std::string(way.param == SimPoll::TCP ? "Tcp" : "Pty");
                         });

TEST_F(SimPoll, MelsecSpoiledAndDroppedRepliesTakeThePollsRepeatPaths) {
    const std::string rows =
        Rows(MelsecRows({{false, "WORD", "D", 0, 1, 0}, {false, "BIT", "M", 7, 1, 1}}));
    // Six requests: the 2nd and 4th reply spoiled, the 3rd and 6th request dropped.
    const Result r = Run("melsec", TCP,
                         {"--station", "3", "--set", "D:0=100", "--set", "M:7=1", "--corrupt-every",
                          "2", "--drop-every", "3"},
                         {"--rows", rows, "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 6);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 2);
    EXPECT_EQ(r.Memory(), (std::map<int, unsigned>{{0, 100}, {1, 1}})) << r.pollOut;
}

TEST_F(SimPoll, MelsecUsageErrorsNameTheArgument) {
    const std::vector<std::string> link = {"melsec", "--link", "tcp-server", "--port", "1"};
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--set", "Q:1=2"}, "no MELSEC device 'Q'"},
        {{"--set", "D:10000=1"}, "D addresses are 0 to 9999"},
        {{"--set", "M:1=2"}, "its value is 0 or 1"},
        {{"--station", "32"}, "0 to 31"},
        {{"--mode", "rtu"}, "no modes"},
    };
    for (const auto& [extra, said] : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim"};
        args.insert(args.end(), link.begin(), link.end());
        args.insert(args.end(), extra.begin(), extra.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << said;
        EXPECT_NE(ReadFile(m_dir / "err").find(said), std::string::npos)
            << said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
