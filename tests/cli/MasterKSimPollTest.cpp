// quillet-cli sim masterk polled by quillet-cli poll masterk over loopback
// TCP and a pty cable: words and bits both ways, the fault options, and the
// station's usage errors.
#include "cli/SimPoll.h"

namespace {

struct SRow {
    bool write;
    int station;
    const char* type;
    const char* device;
    int address, count, index;
};

// MASTER-K rows as the screen saves them (CP949 words).
std::string MasterKRows(const std::vector<SRow>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const SRow& r : rows) {
        text += "[MASTERK_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r.write ? write : read) +
                "\r\nSTATIONNUM=" + std::to_string(r.station) + "\r\nPLCDEVICETYPE=" + r.type +
                "\r\nPLCDEVICENAME=" + r.device + "\r\nPLCADDRESS=" + std::to_string(r.address) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[MASTERK_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

class MasterKSim : public SimPoll, public ::testing::WithParamInterface<SimPoll::Transport> {};

TEST_P(MasterKSim, WordsAndBitsArriveOnBothSides) {
    // Station 3. The rows run from the second: the two writes go before the
    // reads that look at what they wrote.
    const std::string rows = Rows(MasterKRows({
        {false, 3, "WORD", "D", 100, 2, 20},  // D100, D101 back
        {true, 3, "WORD", "D", 100, 2, 10},   // table 10, 11 to D100, D101
        {true, 3, "BIT", "M", 50, 1, 12},     // table 12 to M50
        {false, 3, "BIT", "M", 48, 4, 30},    // M48-M51 back: M50 written, M49 preset
        {false, 3, "WORD", "T", 9998, 2, 40}, // the last two words of T
    }));
    const Result r =
        Run("masterk", GetParam(),
            {"--station", "3", "--set", "M:49=1", "--set", "T:9999=0xBEEF", "--set", "D:101=5"},
            {"--rows", rows, "--set", "10=11", "--set", "11=65535", "--set", "12=1"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    const std::map<int, unsigned> expected = {{10, 11},    {11, 65535}, {12, 1}, {20, 11},
                                              {21, 65535}, {31, 1},     {32, 1}, {41, 0xBEEF}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    EXPECT_EQ(r.Writes(), (std::vector<std::string>{"D 100 11", "D 101 65535", "M 50 1"}))
        << r.simOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 5);
    EXPECT_EQ(Result::Count(r.simOut, "replies"), 5) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, MasterKSim, ::testing::Values(SimPoll::TCP, SimPoll::PTY),
                         [](const auto& way) {
                             return std::string(way.param == SimPoll::TCP ? "Tcp" : "Pty");
                         });

TEST_F(SimPoll, MasterKSpoiledAndDroppedRepliesTakeThePollsRepeatPaths) {
    const std::string rows =
        Rows(MasterKRows({{false, 1, "WORD", "D", 0, 1, 0}, {false, 1, "BIT", "P", 17, 1, 1}}));
    // Six requests: the 2nd and 4th reply spoiled, the 3rd and 6th request dropped.
    const Result r =
        Run("masterk", TCP,
            {"--set", "D:0=100", "--set", "P:17=1", "--corrupt-every", "2", "--drop-every", "3"},
            {"--rows", rows, "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 6);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "dropped"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "corrupted"), 2);
    for (const auto& [index, value] : r.Memory())
        EXPECT_EQ(value, index == 0 ? 100u : 1u) << index;
}

TEST_F(SimPoll, MasterKUsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{"--set", "Z:1=2"}, "no device 'Z'"}, {{"--set", "D:10000=1"}, "addresses 0-9999"},
        {{"--set", "M:3=2"}, "0 or 1"},        {{"--station", "32"}, "0-31"},
        {{"--mode", "rtu"}, "no modes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim",    "masterk", "--link",
                                         "tcp-server",     "--port", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << c.said;
        EXPECT_NE(ReadFile(m_dir / "err").find(c.said), std::string::npos)
            << c.said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
