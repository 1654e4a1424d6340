// quillet-cli poll against real Modbus slaves written by others (libmodbus,
// pymodbus) over socat's pseudo-terminal pairs, and its refusals.
#include "TestFiles.h"
#include "TestSockets.h"
#include "cli/CliProcess.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <regex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using cli_test::Child;
using cli_test::HasProgram;
using cli_test::PtyCable;
using cli_test::WaitUntil;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The request rows of the Yaskawa screen as it saves them: CP949 words.
struct Row {
    const char* type; // "r" or "w"
    int slave, address, count, index;
};
std::string RowsFile(const std::vector<Row>& rows) {
    const std::string read = "\xC0\xDA\xB5\xBF\xC0\xD0\xB1\xE2";  // 자동읽기
    const std::string write = "\xC0\xDA\xB5\xBF\xBE\xB2\xB1\xE2"; // 자동쓰기
    std::string text;
    int n = 0;
    for (const Row& r : rows) {
        text += "[YASKAWA_INI" + std::to_string(n++) +
                "]\r\nCOMMTYPE=" + (std::string(r.type) == "w" ? write : read) +
                "\r\nSLAVEADDRESS=" + std::to_string(r.slave) +
                "\r\nPLCDEVICETYPE=WORD\r\nPLCADDRESS=" + std::to_string(r.address) +
                "\r\nDATACOUNT=" + std::to_string(r.count) +
                "\r\nANINDEX=" + std::to_string(r.index) + "\r\n";
    }
    return text + "[YASKAWA_INI" + std::to_string(n) + "]\r\nCOMMTYPE=\r\n";
}

// The last line of a run: the counts, and the rate with one decimal.
struct Stats {
    long long requests = -1, replies = -1, timeouts = -1, bad = -1, errors = -1;
    bool rttKnown = false;
};
bool ParseStats(const std::string& line, Stats& s) {
    int rateAt = -1, end = -1;
    if (std::sscanf(line.c_str(),
                    "requests=%lld replies=%lld timeouts=%lld bad=%lld errors=%lld "
                    "polls_per_s=%n%*u.%*1u%n",
                    &s.requests, &s.replies, &s.timeouts, &s.bad, &s.errors, &rateAt, &end) != 5 ||
        end < 0)
        return false;
    if (!std::isdigit(static_cast<unsigned char>(line[static_cast<std::size_t>(rateAt)])))
        return false;
    // The round trips: a number with one decimal each, or "-" before any.
    const std::string rtt = line.substr(static_cast<std::size_t>(end));
    static const std::regex kRtt(R"( rtt_last_ms=(-|\d+\.\d) rtt_avg_ms=(-|\d+\.\d)\n)");
    std::smatch m;
    if (!std::regex_match(rtt, m, kRtt) || (m[1] == "-") != (m[2] == "-"))
        return false;
    s.rttKnown = m[1] != "-";
    return true;
}

class Poll : public ::testing::Test {
protected:
    struct Result {
        int status = -1;
        std::string out, err;
    };

    Result RunCli(std::vector<std::string> args, std::chrono::milliseconds limit = 20s) {
        args.insert(args.begin(), {QUILLET_CLI_PATH, "poll"});
        Child cli(args, m_dir / "out", m_dir / "err");
        Result r;
        r.status = cli.Wait(limit);
        r.out = ReadFile(m_dir / "out");
        r.err = ReadFile(m_dir / "err");
        return r;
    }

    std::string Rows(const std::vector<Row>& rows) {
        WriteFile(m_dir / "rows.ini", RowsFile(rows));
        return (m_dir / "rows.ini").string();
    }

    TempDir m_dir;
};

struct Slave {
    const char* name;
    const char* mode; // the CLI's --mode
    bool python;
};

void PrintTo(const Slave& slave, std::ostream* os) {
    *os << slave.name;
}

std::string SlaveName(const ::testing::TestParamInfo<Slave>& slave) {
    return slave.param.name;
}

class PollSlave : public Poll, public ::testing::WithParamInterface<Slave> {
protected:
    void SetUp() override {
        if (!HasProgram("command -v socat"))
            GTEST_SKIP() << "socat is not installed";
        if (GetParam().python &&
            !HasProgram("/usr/bin/python3 -c 'import pymodbus, serial_asyncio'"))
            GTEST_SKIP() << "/usr/bin/python3 has no pymodbus (python3-pymodbus)";
        m_pCable = std::make_unique<PtyCable>(m_dir);
        ASSERT_TRUE(m_pCable->IsUp()) << ReadFile(m_dir / "socat.err");
    }

    // Starts the slave on one end of the cable with these registers set.
    void StartSlave(const std::vector<std::string>& registers) {
        std::vector<std::string> args;
        const std::string dump = Dump().string();
        if (GetParam().python) {
            args = {"/usr/bin/python3", PYMODBUS_SLAVE_PATH, "--port", m_pCable->End(1),
                    "--framer",         GetParam().mode,     "--dump", dump};
            for (const auto& r : registers)
                args.insert(args.end(), {"--set", r});
        } else {
            args = {MODBUS_RTU_SLAVE_PATH, m_pCable->End(1), dump};
            args.insert(args.end(), registers.begin(), registers.end());
        }
        m_pSlave = std::make_unique<Child>(args, m_dir / "slave.out", m_dir / "slave.err");
        ASSERT_TRUE(m_pSlave->IsStarted());
        ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Dump()); }, 15s))
            << "the slave did not start: " << ReadFile(m_dir / "slave.err");
    }

    std::filesystem::path Dump() const { return m_dir / "dump"; }
    std::vector<std::string> Link() const {
        std::vector<std::string> link = {"--link", "serial", "--com", "1=" + m_pCable->End(0)};
        if (std::string(GetParam().mode) != "ascii") // the screen's default
            link.insert(link.begin(), {"--mode", GetParam().mode});
        return link;
    }
    std::vector<std::string> With(std::vector<std::string> args) const {
        const auto link = Link();
        args.insert(args.end(), link.begin(), link.end());
        return args;
    }

    std::unique_ptr<PtyCable> m_pCable;
    std::unique_ptr<Child> m_pSlave;
};

TEST_P(PollSlave, ReadRowsFillTheTableAndWriteRowsChangeTheSlave) {
    StartSlave({"10=111", "11=222", "12=65535", "13=32768"});
    // The engine begins with the second row: the write goes out first and
    // the third row reads back what it wrote, through the slave.
    const std::string rows =
        Rows({{"r", 1, 10, 4, 0}, {"w", 1, 100, 2, 5}, {"r", 1, 100, 2, 20}, {"r", 1, 12, 1, 999}});
    Result r =
        RunCli(With({"yaskawa", "--rows", rows, "--cycles", "2", "--set", "5=7", "--set", "6=-2"}));
    ASSERT_EQ(r.status, 0) << r.err << ReadFile(m_dir / "slave.err");
    EXPECT_EQ(r.err, "");
    const std::string words = "[000] 111\n[001] 222\n[002] 65535\n[003] 32768\n[005] 7\n"
                              "[006] 65534\n[020] 7\n[021] 65534\n[999] 65535\n";
    ASSERT_EQ(r.out.substr(0, words.size()), words) << r.out;
    Stats stats;
    ASSERT_TRUE(ParseStats(r.out.substr(words.size()), stats)) << r.out;
    EXPECT_EQ(stats.requests, 8);
    EXPECT_EQ(stats.replies, 8);
    EXPECT_EQ(stats.timeouts, 0);
    EXPECT_EQ(stats.bad, 0);
    EXPECT_EQ(stats.errors, 0);
    EXPECT_TRUE(stats.rttKnown);
    EXPECT_EQ(ReadFile(Dump()), "10=111\n11=222\n12=65535\n13=32768\n100=7\n101=65534\n");
}

INSTANTIATE_TEST_SUITE_P(Slaves, PollSlave,
                         ::testing::Values(Slave{"libmodbus_rtu", "rtu", false},
                                           Slave{"pymodbus_rtu", "rtu", true},
                                           Slave{"pymodbus_ascii", "ascii", true}),
                         SlaveName);

class PollLibmodbus : public PollSlave {};

// Rows the slave does not answer end by the time-out and polling goes on;
// without --cycles a signal ends the run, which still prints its result.
TEST_P(PollLibmodbus, TimeOutsAndASignalEndTheRunCleanly) {
    StartSlave({"0=5"});
    const std::string rows = Rows({{"r", 1, 0, 1, 0}, {"r", 9, 0, 1, 1}});
    std::vector<std::string> args = With({"--rows", rows, "--seconds", "60"});
    args.insert(args.begin(), {QUILLET_CLI_PATH, "poll", "yaskawa"});
    Child cli(args, m_dir / "out", m_dir / "err");
    // Slave 9 is nobody: its row is given up after about 1.7 s.
    std::this_thread::sleep_for(2500ms);
    cli.Signal(SIGTERM);
    ASSERT_EQ(cli.Wait(10s), 0) << ReadFile(m_dir / "err");
    const std::string out = ReadFile(m_dir / "out");
    Stats stats;
    ASSERT_TRUE(out.starts_with("[000] 5\n") && ParseStats(out.substr(8), stats)) << out;
    const long long requests = stats.requests, replies = stats.replies, timeouts = stats.timeouts;
    EXPECT_GE(timeouts, 1);
    EXPECT_GE(replies, 1);
    // At most the one request the signal caught in flight is unfinished.
    EXPECT_LE(requests - replies - timeouts, 1);
    EXPECT_GE(requests - replies - timeouts, 0);
}

// A serial device that goes away takes the link down; nothing reopens it
// here, so the run ends with what it has, exit status 1.
TEST_P(PollLibmodbus, ALinkThatGoesDownEndsTheRun) {
    StartSlave({"3=33"});
    std::vector<std::string> args = With({"--rows", Rows({{"r", 1, 3, 1, 7}}), "--seconds", "60"});
    args.insert(args.begin(), {QUILLET_CLI_PATH, "poll", "yaskawa"});
    Child cli(args, m_dir / "out", m_dir / "err");
    std::this_thread::sleep_for(1000ms);
    m_pSlave.reset();
    m_pCable.reset(); // socat closes both ends
    ASSERT_EQ(cli.Wait(10s), 1) << ReadFile(m_dir / "err");
    // The port and why it went, then the run's own word.
    const std::string err = ReadFile(m_dir / "err");
    EXPECT_TRUE(err.starts_with("COM1 (")) << err;
    EXPECT_NE(err.find("): the device went away"), std::string::npos) << err;
    EXPECT_TRUE(err.ends_with("\nquillet-cli poll: the link went down\n")) << err;
    EXPECT_TRUE(ReadFile(m_dir / "out").starts_with("[007] 33\nrequests="))
        << ReadFile(m_dir / "out");
}

INSTANTIATE_TEST_SUITE_P(Slaves, PollLibmodbus,
                         ::testing::Values(Slave{"libmodbus_rtu", "rtu", false}), SlaveName);

TEST_F(Poll, RefusedStartsShowTheEnginesMessage) {
    const std::string rows = Rows({{"r", 1, 0, 1, 0}});
    // A client link to a closed loopback port never comes up.
    Result r = RunCli(
        {"yaskawa", "--rows", rows, "--link", "tcp-client", "--ip", "127.0.0.1", "--port", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("통신이 연결되지 않았습니다."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    // A UDP link is up at once; a file without rows, or none that can be
    // read, has nothing to poll: the message names the file and the reason.
    WriteFile(m_dir / "empty.ini", RowsFile({}));
    std::filesystem::create_directory(m_dir / "dir.ini");
    const std::pair<std::string, std::string> files[] = {
        {(m_dir / "empty.ini").string(),
         "YASKAWA_INI0의 COMMTYPE이 비어 있어 요청 ROW가 없습니다."},
        {(m_dir / "none.ini").string(), "No such file or directory"},
        {(m_dir / "dir.ini").string(), "Is a directory"},
    };
    for (const auto& [file, reason] : files) {
        r = RunCli({"yaskawa", "--rows", file, "--link", "udp", "--ip", "127.0.0.1", "--port", "9",
                    "--udp-port", std::to_string(FreeUdpPort())});
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_EQ(r.err, "INI파링 Read에 실패했습니다.\n" + file + ": " + reason + "\n");
        EXPECT_EQ(r.out, "");
    }

    // A row the protocol cannot carry is named, and nothing polls.
    const std::string bad =
        ReplaceAll(RowsFile({{"w", 1, 0, 1, 0}}), "SLAVEADDRESS=1", "SLAVEADDRESS=PLC1");
    WriteFile(m_dir / "bad.ini", bad);
    r = RunCli({"yaskawa", "--rows", (m_dir / "bad.ini").string(), "--link", "udp", "--ip",
                "127.0.0.1", "--port", "9", "--udp-port", std::to_string(FreeUdpPort())});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ROW 1 (YASKAWA_INI0): SLAVEADDRESS \"PLC1\""), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
}

// A UDP peer on loopback that answers every datagram with the same bytes.
class UdpPeer {
public:
    UdpPeer(const TempDir& dir, const std::string& replyHex)
        : m_child({"/usr/bin/python3", "-c", kScript, (dir / "ports").string(), replyHex},
                  dir / "peer.out", dir / "peer.err") {
        if (WaitUntil([&] { return std::filesystem::exists(dir / "ports"); }, 10s))
            std::sscanf(ReadFile(dir / "ports").c_str(), "%d %d", &m_nPort, &m_nClientPort);
    }
    // Where the peer listens, and a free port for the program's end.
    std::vector<std::string> Link() const {
        return {"--link",     "udp",
                "--ip",       "127.0.0.1",
                "--port",     std::to_string(m_nPort),
                "--udp-port", std::to_string(m_nClientPort)};
    }
    bool IsUp() const { return m_nPort > 0; }

private:
    static constexpr const char* kScript = R"(
import os, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
free = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
free.bind(("127.0.0.1", 0))
client = free.getsockname()[1]
free.close()
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write("%d %d" % (s.getsockname()[1], client))
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
reply = bytes.fromhex(sys.argv[2])
while True:
    data, peer = s.recvfrom(65536)
    s.sendto(reply, peer)
)";
    Child m_child;
    int m_nPort = 0;
    int m_nClientPort = 0;
};

// Replies that do not check, or that refuse the request, end the exchange
// at once and are counted apart; a run without one good reply fails.
TEST_F(Poll, BadAndErrorRepliesAreCountedAndFailTheRun) {
    struct Case {
        const char* reply;
        long long Stats::*counted;
    } cases[] = {
        {"01 03 02 12 34 00 00", &Stats::bad}, // a bad CRC
        {"09 03 02 12 34 54 F2", &Stats::bad}, // another slave
        {"01 83 02 C0 F1", &Stats::errors},    // an exception
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        UdpPeer peer(m_dir, c.reply);
        ASSERT_TRUE(peer.IsUp()) << ReadFile(m_dir / "peer.err");
        std::vector<std::string> args = {
            "yaskawa", "--rows", Rows({{"r", 1, 0, 1, 0}}), "--mode", "rtu", "--cycles", "3"};
        const auto link = peer.Link();
        args.insert(args.end(), link.begin(), link.end());
        Result r = RunCli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "quillet-cli poll: no request got a good reply\n");
        Stats stats;
        ASSERT_TRUE(ParseStats(r.out, stats)) << r.out;
        EXPECT_EQ(stats.replies, 0);
        EXPECT_EQ(stats.timeouts, 0);
        EXPECT_EQ(stats.*c.counted, 3);
        // An exception is the station's answer and times the round trip;
        // a bad reply does not.
        EXPECT_EQ(stats.rttKnown, c.counted == &Stats::errors);
        std::filesystem::remove(m_dir / "ports");
    }
}

// --seconds counts from the start of polling and does not end early; a
// rows file in UTF-8 with a byte order mark is read.
TEST_F(Poll, SecondsEndNotBeforeTheirTime) {
    UdpPeer peer(m_dir, "01 03 02 12 34 B5 33");
    ASSERT_TRUE(peer.IsUp()) << ReadFile(m_dir / "peer.err");
    // The rows as an editor saves them in UTF-8 with a byte order mark: read
    // as the program's own.
    WriteFile(m_dir / "utf8.ini", "\xEF\xBB\xBF[YASKAWA_INI0]\r\nCOMMTYPE=자동읽기\r\n"
                                  "SLAVEADDRESS=1\r\nPLCDEVICETYPE=WORD\r\nPLCADDRESS=0\r\n"
                                  "DATACOUNT=1\r\nANINDEX=0\r\n[YASKAWA_INI1]\r\nCOMMTYPE=\r\n");
    std::vector<std::string> args = {
        "yaskawa", "--rows", (m_dir / "utf8.ini").string(), "--mode", "rtu", "--seconds", "3"};
    const auto link = peer.Link();
    args.insert(args.end(), link.begin(), link.end());
    const auto begun = std::chrono::steady_clock::now();
    Result r = RunCli(args);
    const auto took = std::chrono::steady_clock::now() - begun;
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GE(took, 3s);
    EXPECT_TRUE(r.out.starts_with("[000] 4660\nrequests=")) << r.out;
}

TEST_F(Poll, UsageErrors) {
    const std::string rows = Rows({{"r", 1, 0, 1, 0}});
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"omron", "--rows", rows}, "unknown PLC 'omron'"},
        {{"--rows", rows}, "PLC is required"},
        {{"yaskawa"}, "--rows FILE.ini is required"},
        {{"yaskawa", "--rows", rows, "--mode", "lan"}, "yaskawa has no mode 'lan' (ascii, rtu)"},
        {{"yaskawa", "--rows", rows, "--set", "1000=1"}, "--set needs I=V"},
        {{"yaskawa", "--rows", rows, "--set", "5=65536"}, "--set needs I=V"},
        {{"yaskawa", "--rows", rows, "--set", "5=-32769"}, "--set needs I=V"},
        {{"yaskawa", "--rows", rows, "--set", "-1=3"}, "--set needs I=V"},
        {{"yaskawa", "--rows", rows, "--set", "5"}, "--set needs I=V"},
        {{"yaskawa", "--rows", rows, "--cycles", "0"}, "--cycles needs"},
        {{"yaskawa", "--rows", rows, "--cycles", "2", "--seconds", "2"}, "cannot go together"},
        {{"yaskawa", "--rows", rows, "--cycles", "x"},
         "--cycles needs a number from 1 to 1000000000, not 'x'"},
        {{"yaskawa", "--rows", rows, "--seconds", "0"},
         "--seconds needs a number of seconds from 1 to 2000000, not '0'"},
        {{"yaskawa", "--rows"}, "--rows needs a value"},
        {{"yaskawa", "stray", "--rows", rows}, "unexpected argument 'stray'"},
        {{"yaskawa", "--rows", rows, "--verbose", "1"}, "unknown option '--verbose'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--link", "udp"});
        Result r = RunCli(args);
        EXPECT_EQ(r.status, 64) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

} // namespace
