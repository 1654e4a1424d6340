// quillet-cli sim simens: the 3964R/RK512 partner polled by quillet-cli poll
// simens over loopback TCP and a pty cable, its fault options, and its
// refusals.
#include "cli/SimPoll.h"

namespace {

struct SRow {
    bool write;
    const char* unit;
    int db, dw, count, index;
};

// Siemens rows as the screen saves them (CP949 words).
std::string SimensRows(const std::vector<SRow>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const SRow& r : rows) {
        text += "[SIMENS_INI" + std::to_string(n++) + "]\r\nCOMMTYPE=" + (r.write ? write : read) +
                "\r\nPLCDEVICETYPE=" + r.unit + "\r\nDBADDRESS=" + std::to_string(r.db) +
                "\r\nDWADDRESS=" + std::to_string(r.dw) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[SIMENS_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

class SimensSim : public SimPoll, public ::testing::WithParamInterface<SimPoll::Transport> {};

// Words and bits both ways, DLEs in the data and in the header; the rows
// after the sends read back what they stored.
TEST_P(SimensSim, WordsAndBitsArriveOnBothSides) {
    const std::string rows = Rows(SimensRows({{false, "WORD", 16, 16, 2, 300},
                                              {true, "WORD", 5, 0, 3, 0},
                                              {true, "BIT", 6, 16, 20, 10},
                                              {false, "WORD", 5, 0, 3, 100},
                                              {false, "BIT", 6, 16, 20, 200}}));
    const Result r = Run("simens", GetParam(), {"--set", "DB16:16=4112", "--set", "db16:17=0x1234"},
                         {"--rows", rows, "--set", "0=4112", "--set", "1=2", "--set", "2=-1",
                          "--set", "10=1", "--set", "13=5", "--set", "29=1"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(r.Writes(), (std::vector<std::string>{"DB5 0 4112", "DB5 1 2", "DB5 2 65535",
                                                    "DB6 16 9", "DB6 17 8"}))
        << r.simOut;
    const std::map<int, unsigned> expected = {
        {0, 4112}, {1, 2},       {2, 65535}, {10, 1},  {13, 5},  {29, 1},     {100, 4112},
        {101, 2},  {102, 65535}, {200, 1},   {203, 1}, {219, 1}, {300, 4112}, {301, 0x1234}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 5);
    EXPECT_EQ(Result::Count(r.simOut, "replies"), 5) << r.simOut;
}

INSTANTIATE_TEST_SUITE_P(Ways, SimensSim, ::testing::Values(SimPoll::TCP, SimPoll::PTY),
                         [](const auto& way) {
                             return std::string(way.param == SimPoll::TCP ? "Tcp" : "Pty");
                         });

TEST_F(SimPoll, SimensSpoiledAndDroppedTelegramsCostExchangesNotValues) {
    const std::string rows =
        Rows(SimensRows({{false, "WORD", 9, 0, 2, 0}, {true, "WORD", 9, 5, 1, 50}}));
    // Eight exchanges: telegrams 4 and 8 unanswered; of the six reactions,
    // the 3rd and 6th spoilt.
    const Result r = Run("simens", TCP,
                         {"--set", "DB9:0=4660", "--set", "DB9:1=22136", "--corrupt-every", "3",
                          "--drop-every", "4"},
                         {"--rows", rows, "--set", "50=777", "--cycles", "4"});
    ASSERT_EQ(r.status, 0) << r.pollErr << r.simErr;
    EXPECT_EQ(Result::Count(r.pollOut, "requests"), 8);
    EXPECT_EQ(Result::Count(r.pollOut, "timeouts"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "bad"), 2);
    EXPECT_EQ(Result::Count(r.pollOut, "replies"), 4);
    EXPECT_EQ(Result::Count(r.simOut, "dropped"), 2);
    EXPECT_EQ(Result::Count(r.simOut, "corrupted"), 2);
    const std::map<int, unsigned> expected = {{0, 4660}, {1, 22136}, {50, 777}};
    EXPECT_EQ(r.Memory(), expected) << r.pollOut;
    for (const std::string& w : r.Writes())
        EXPECT_EQ(w, "DB9 5 777");
}

TEST_F(SimPoll, SimensRefusesWhatItHasNot) {
    struct Case {
        std::vector<std::string> args;
        const char* said;
    };
    const Case cases[] = {
        {{"--set", "DX5:0=1"}, "DB0 to DB255"},        {{"--set", "DB256:0=1"}, "DB0 to DB255"},
        {{"--set", "5=1"}, "no data block given"},     {{"--set", "DB5:2048=1"}, "0 to 2047"},
        {{"--set", "DB5:0=65536"}, "-32768 to 65535"}, {{"--mode", "rtu"}, "no modes"},
        {{"--station", "1"}, "no station address"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "sim",    "simens", "--link",
                                         "tcp-server",     "--port", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli_test::Child cli(args, m_dir / "out", m_dir / "err");
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 64) << c.said;
        EXPECT_NE(ReadFile(m_dir / "err").find(c.said), std::string::npos)
            << c.said << ": " << ReadFile(m_dir / "err");
    }
}

} // namespace
