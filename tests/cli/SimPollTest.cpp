// quillet-cli sim: the MEMOBUS slave polled by quillet-cli poll yaskawa over
// loopback TCP and a pty cable, its fault options, and its usage errors.
#include "cli/SimPoll.h"

#include <cctype>
#include <cstring>

namespace {

// Yaskawa rows as the screen saves them (CP949 words).
std::string YaskawaRows(const std::vector<std::vector<int>>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const auto& r : rows) { // write?, slave, address, count, index
        text += "[YASKAWA_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r[0] ? write : read) +
                "\r\nSLAVEADDRESS=" + std::to_string(r[1]) +
                "\r\nPLCDEVICETYPE=\r\nPLCADDRESS=" + std::to_string(r[2]) +
                "\r\nDATACOUNT=" + std::to_string(r[3]) + "\r\nANINDEX=" + std::to_string(r[4]) +
                "\r\n";
    }
    return text + "[YASKAWA_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

struct Way {
    const char* name;
    SimPoll::Transport transport;
    const char* mode;
};

class MemobusSim : public SimPoll, public ::testing::WithParamInterface<Way> {};

TEST_P(MemobusSim, ReadsAndWritesArriveOnBothSides) {
    // Slave 7; the write row goes first, the last row reads back what it wrote.
    const std::string rows = Rows(YaskawaRows(
        {{0, 7, 0, 3, 0}, {1, 7, 500, 2, 10}, {0, 7, 500, 2, 20}, {0, 7, 65534, 2, 998}}));
    const Result r =
        Run("yaskawa", GetParam().transport,
            {"--mode", GetParam().mode, "--slave", "7", "--set", "0=4660", "--set", "HR:2=-1",
             "--set", "0xFFFF=9"},
            {"--rows", rows, "--mode", GetParam().mode, "--set", "10=11", "--set", "11=65535"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    const std::map<int, unsigned> expected = {{0, 4660}, {2, 65535},  {10, 11}, {11, 65535},
                                              {20, 11},  {21, 65535}, {999, 9}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    EXPECT_EQ(r.Writes(), (std::vector<std::string>{"HR 500 11", "HR 501 65535"})) << r.simOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 4);
    EXPECT_EQ(Result::Count(r.simOut, "replies"), 4) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, MemobusSim,
                         ::testing::Values(Way{"TcpAscii", SimPoll::TCP, "ascii"},
                                           Way{"TcpRtu", SimPoll::TCP, "rtu"},
                                           Way{"PtyAscii", SimPoll::PTY, "ascii"},
                                           Way{"PtyRtu", SimPoll::PTY, "rtu"}),
                         [](const auto& way) { return std::string(way.param.name); });

TEST_F(SimPoll, SpoiledAndDroppedRepliesTakeThePollsRepeatPaths) {
    const std::string rows = Rows(YaskawaRows({{0, 1, 0, 1, 0}, {0, 1, 1, 1, 1}}));
    // Six requests: the 2nd and 4th reply spoiled, the 3rd and 6th request dropped.
    const Result r = Run("yaskawa", TCP,
                         {"--mode", "rtu", "--set", "0=100", "--set", "1=200", "--corrupt-every",
                          "2", "--drop-every", "3"},
                         {"--rows", rows, "--mode", "rtu", "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 6);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "dropped"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "corrupted"), 2);
    // Only good replies were stored, and they were right.
    for (const auto& [index, value] : r.Memory())
        EXPECT_EQ(value, index == 0 ? 100u : 200u) << index;
}

// The counters the screens show, as the poll prints them: every request
// ends in one of them, and each one the station left unanswered is a
// time-out.
TEST_F(SimPoll, CountersAddUpAgainstAStationDroppingEveryFifthRequest) {
    const std::string rows = Rows(YaskawaRows({{0, 1, 0, 1, 0}, {0, 1, 1, 1, 1}}));
    const Result r = Run("yaskawa", TCP, {"--mode", "rtu", "--set", "0=7", "--drop-every", "5"},
                         {"--rows", rows, "--mode", "rtu", "--cycles", "5"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    const long long requests = Result::Count(r.pollOut, "requests");
    EXPECT_EQ(requests, 10);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), requests / 5);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), Result::Count(r.simOut, "dropped"));
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), requests - requests / 5);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 0);
    EXPECT_EQ(Result::Count(r.pollOut, "errors"), 0);
    // The good replies timed their round trips.
    for (const char* key : {"rtt_last_ms=", "rtt_avg_ms="}) {
        const std::size_t at = r.pollOut.find(key);
        ASSERT_NE(at, std::string::npos) << key << r.pollOut;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(r.pollOut[at + std::strlen(key)])))
            << key << r.pollOut;
    }
}

TEST_F(SimPoll, UsageErrorsNameTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{}, "PLC is required"},
        {{"plc5"}, "no simulated station for 'plc5'"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--mode", "lan"}, "no mode 'lan'"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--set", "D:1=2"},
         "holding registers only"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--set", "70000=1"}, "0-65535"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--set", "1=70000"}, "-32768 to 65535"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--set", "x"}, "DEVICE:ADDRESS=VALUE"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--slave", "248"}, "1-247"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--drop-every", "0"}, "--drop-every"},
        {{"yaskawa", "--link", "tcp-server", "--port", "1", "--rows", "a"}, "unknown option"},
        {{"yaskawa", "--port", "1"}, "--link"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << c.said;
        EXPECT_NE(ReadFile(m_dir / "err").find(c.said), std::string::npos)
            << c.said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
