#include "TestBytes.h"
#include "TestFiles.h"
#include "TestSockets.h"
#include "app/CAlrFile.h"
#include "app/CTessaryDoc.h"
#include "link/CHexCodec.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Appends s to the command as one single-quoted shell word.
void AppendQuoted(std::string& cmd, const std::string& s) {
    cmd.push_back(' ');
    cmd.push_back('\'');
    for (char c : s) {
        if (c == '\'')
            cmd.append("'\\''");
        else
            cmd.push_back(c);
    }
    cmd.push_back('\'');
}

class Cli : public ::testing::Test {
protected:
    Result Run(const std::vector<std::string>& args, const std::string& prefix = {}) {
        std::string cmd = prefix;
        AppendQuoted(cmd, QUILLET_CLI_PATH);
        for (const auto& a : args)
            AppendQuoted(cmd, a);
        cmd.append(" >");
        AppendQuoted(cmd, (m_dir / "out").string());
        cmd.append(" 2>");
        AppendQuoted(cmd, (m_dir / "err").string());
        Result r;
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadFile(m_dir / "out");
        r.err = ReadFile(m_dir / "err");
        return r;
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteFile(m_dir / name, ToString(bytes));
        return (m_dir / name).string();
    }

    TempDir m_dir;
};

TEST_F(Cli, ToolsPrintTheirResults) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"tool", "sum", "abc"}, "26\n"},
        {{"tool", "sum", "123"}, "96\n"},
        {{"tool", "crc16", "010300000001"}, "840a\n"},
        {{"tool", "hex2ascii", "48656C6C6F"}, "Hello"},
        {{"tool", "hex2ascii", "410042"}, std::string("A\0B", 3)},
        {{"tool", "ascii2hex", "Hello"}, "48656C6C6F\n"},
        // UTF-8 arguments become CP949 bytes first.
        {{"tool", "ascii2hex", "자동읽기"}, "C0DAB5BFC0D0B1E2\n"},
        {{"tool", "sum", "한"}, "98\n"}, // 0xC7 + 0xD1 = 0x198
        // Blanks between pairs, as frames are written down.
        {{"tool", "crc16", "01 03 00 00 00 01"}, "840a\n"},
        {{"tool", "hex2ascii", "48 65 6c 6c 6f"}, "Hello"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[1] << " " << c.args[2];
        EXPECT_EQ(r.out, c.out) << c.args[1] << " " << c.args[2];
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Cli, OddDigitsGoToStderrWithStatusTwo) {
    for (const char* tool : {"crc16", "hex2ascii"}) {
        Result r = Run({"tool", tool, "486"});
        EXPECT_EQ(r.status, 2) << tool;
        EXPECT_EQ(r.out, "") << tool;
        EXPECT_EQ(r.err, "데이터가 짝수여야 합니다. \n") << tool;
    }
}

TEST_F(Cli, ToolsRefuseBadHexNamingTheCharacterAndComputeOverLongInputs) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"tool", "crc16", "ZZ"},
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'Z' (1번째 글자)\n"},
        {{"tool", "hex2ascii", "GG"},
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'G' (1번째 글자)\n"},
        {{"tool", "crc16", "0x12"},
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'x' (2번째 글자)\n"},
        {{"tool", "hex2ascii", "4 142"},
         "16진수는 두 자리씩 붙여 써야 합니다: 2번째 글자의 빈칸이 한 바이트를 나눕니다.\n"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[1] << " " << c.args[2];
        EXPECT_EQ(r.out, "") << c.args[1] << " " << c.args[2];
        EXPECT_EQ(r.err, c.err) << c.args[1] << " " << c.args[2];
    }

    // 5000 bytes: every one is decoded and checked, none cut at 4096.
    std::string hex;
    for (int i = 0; i < 4999; ++i)
        hex += "41";
    hex += "42";
    Result ascii = Run({"tool", "hex2ascii", hex});
    EXPECT_EQ(ascii.status, 0);
    EXPECT_EQ(ascii.out, std::string(4999, 'A') + "B");
    Result crc = Run({"tool", "crc16", hex});
    EXPECT_EQ(crc.status, 0);
    const std::string bytes = std::string(4999, 'A') + "B";
    const std::uint16_t value =
        CHexCodec::Crc16(5000, reinterpret_cast<const std::uint8_t*>(bytes.data()), 0xFFFF);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%02x%02x\n", value & 0xFF, value >> 8);
    EXPECT_EQ(crc.out, expected);
}

TEST_F(Cli, UsageErrorsAndHelp) {
    EXPECT_EQ(Run({"--help"}).status, 0);
    EXPECT_NE(Run({"--help"}).out.find("quillet-cli dump"), std::string::npos);
    EXPECT_EQ(Run({"tool", "nosuch", "x"}).status, 64);
    EXPECT_EQ(Run({"frobnicate"}).status, 64);
    EXPECT_EQ(Run({"dump"}).status, 64);
}

TEST_F(Cli, DumpShowsTheGridRows) {
    // One sent block "AB", one received 02 41 0D, then 40 received bytes 0x30..
    Bytes file =
        "03 00 00 00 | 02 00 00 00 02 00 00 00 41 42 | 03 00 00 00 01 00 00 00 02 41 0D"_hex;
    const Bytes head = "28 00 00 00 01 00 00 00"_hex;
    file.insert(file.end(), head.begin(), head.end());
    for (int i = 0; i < 40; ++i)
        file.push_back(static_cast<std::uint8_t>(0x30 + i));
    const std::string path = Write("c.alr", file);

    Result r = Run({"dump", path});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string row1 = "TA\tTB\tRstx\tRA\tRcr";
    for (int i = 0; i < 24; ++i)
        row1 += "\tR" + std::string(1, static_cast<char>(0x30 + i));
    std::string row2;
    for (int i = 24; i < 40; ++i)
        row2 += (i > 24 ? "\tR" : "R") + std::string(1, static_cast<char>(0x30 + i));
    EXPECT_EQ(r.out, "1/1\n" + row1 + "\n" + row2 + "\n");

    r = Run({"dump", path, "--binary"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("1/1\nT41\tT42\tR02\tR41\tR0D\tR30\t")) << r.out;

    // A page past the end shows the last one.
    r = Run({"dump", "--page", "7", path});
    EXPECT_EQ(r.out.substr(0, 4), "1/1\n");
}

TEST_F(Cli, DumpOfADamagedFileFailsWithTheReason) {
    const std::string path = Write("bad.alr", "01 00 00 00 | 00 20 00 00 01 00 00 00"_hex);
    Result r = Run({"dump", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("레코드 1 (파일 위치 4)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("bad.alr"), std::string::npos);

    r = Run({"dump", (m_dir / "absent.alr").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("absent.alr"), std::string::npos);
}

// Connects to the loopback port, retrying while the server starts.
int ConnectLoopback(int port) {
    for (int i = 0; i < 100; ++i) {
        int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return s;
        ::close(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

// Starts the command line with its errors in a file and its output in a
// file, or in a pipe whose reading end outPipe receives; its pid.
pid_t Spawn(std::vector<std::string> args, const std::string& out, const std::string& err,
            int* outPipe = nullptr) {
    args.insert(args.begin(), QUILLET_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int ends[2] = {-1, -1};
    if (outPipe && ::pipe(ends) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outPipe) {
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        posix_spawn_file_actions_addclose(&actions, ends[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (outPipe) {
        ::close(ends[1]);
        *outPipe = ends[0];
    }
    return pid;
}

// One line from a descriptor, read as it comes.
std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

int ExitStatus(pid_t pid) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A client link that never comes up ends at once with the reason, sends
// nothing and writes no file; it does not wait out its time.
TEST_F(Cli, CaptureOnATcpClientThatNeverConnectsFailsWithTheReason) {
    const std::string refused = std::to_string(FreeTcpPort());
    struct Case {
        std::string host, port, says;
    } cases[] = {
        {"127.0.0.1", refused, "127.0.0.1:" + refused + ": Connection refused\n"},
        // Refused on the machine itself: no query leaves it.
        {"quillet-test.invalid", "5020", "quillet-test.invalid:5020: Host not found\n"},
    };
    for (const Case& c : cases) {
        Result r =
            Run({"capture", "--link", "tcp-client", "--ip", c.host, "--port", c.port, "--out",
                 (m_dir / "x.alr").string(), "--seconds", "30", "--send-hex", "41"});
        EXPECT_EQ(r.status, 1) << c.host;
        EXPECT_EQ(r.err, c.says + "quillet-cli capture: the link never came up\n");
        EXPECT_TRUE(r.out.starts_with(" , TCP CLIENT설정: ")) << r.out;
        EXPECT_FALSE(std::filesystem::exists(m_dir / "x.alr"));
    }
}

// The blocks go out once the connect has finished; a server that closes
// the connection ends the capture, which keeps what crossed, and says so.
TEST_F(Cli, CaptureOnATcpClientSendsOnceConnectedAndEndsWhenThePeerCloses) {
    for (const bool greet : {true, false}) {
        SCOPED_TRACE(greet ? "sends, then closes" : "closes at once");
        int port = 0;
        const int listener = ListenLoopback(port);
        const std::string alr = (m_dir / "c.alr").string();
        std::vector<std::string> args = {
            "capture", "--link", "tcp-client", "--ip", "127.0.0.1", "--port", std::to_string(port),
            "--out",   alr,      "--seconds",  "30"};
        if (greet)
            args.insert(args.end(), {"--send-hex", "0102"});
        const pid_t pid = Spawn(args, (m_dir / "out").string(), (m_dir / "err").string());
        ASSERT_GT(pid, 0);
        const int peer = ::accept(listener, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        if (greet) {
            char got[2] = {};
            ASSERT_EQ(::recv(peer, got, 2, MSG_WAITALL), 2);
            EXPECT_EQ(std::string(got, 2), "\x01\x02");
            ASSERT_EQ(::write(peer, "hi", 2), 2);
        }
        ::close(peer);
        ::close(listener);
        EXPECT_EQ(ExitStatus(pid), 1);
        EXPECT_EQ(ReadFile(m_dir / "err"), "127.0.0.1:" + std::to_string(port) +
                                               ": The remote host closed the connection\n"
                                               "quillet-cli capture: the link went down\n");
        Result dump = Run({"dump", alr, "--binary"});
        EXPECT_EQ(dump.out, greet ? "1/1\nT01\tT02\tR68\tR69\n" : "1/1\n");
    }
}

// A serial port another program holds open (here a second run of this
// one) is busy: the port, its device and the reason.
TEST_F(Cli, CaptureOnASerialPortHeldByAnotherProgramFails) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string device = name;
    const std::string com = "1=" + device;
    int holderOut = -1;
    const pid_t holder = Spawn({"capture", "--link", "serial", "--com", com, "--out",
                                (m_dir / "a.alr").string(), "--seconds", "30"},
                               {}, (m_dir / "holder.err").string(), &holderOut);
    ASSERT_GT(holder, 0);
    // Its status line tells that it holds the port.
    ASSERT_EQ(ReadLine(holderOut), " , RS-232C설정: COM1,9600,N,8,1,0,0 ")
        << ReadFile(m_dir / "holder.err");

    Result r = Run({"capture", "--link", "serial", "--com", com, "--out",
                    (m_dir / "b.alr").string(), "--seconds", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with("COM1 (" + device + "): ")) << r.err;
    EXPECT_TRUE(r.err.ends_with("\nquillet-cli capture: the link never came up\n")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "b.alr"));

    ::kill(holder, SIGINT);
    EXPECT_EQ(ExitStatus(holder), 0) << ReadFile(m_dir / "holder.err");
    ::close(holderOut);
    ::close(master);
    ::close(slave);
}

TEST_F(Cli, CaptureRecordsBothDirectionsOfARealLink) {
    const int port = FreeTcpPort();
    const std::string alr = (m_dir / "cap.alr").string();
    const std::string out = (m_dir / "cap.out").string();
    std::vector<std::string> args = {
        QUILLET_CLI_PATH,     "capture", "--link",     "tcp-server", "--port",
        std::to_string(port), "--out",   alr,          "--seconds",  "4",
        "--send-hex",         "0102FF",  "--send-hex", "41"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    const int s = ConnectLoopback(port);
    ASSERT_GE(s, 0);
    // Answer only after the greeting, so the capture's order is fixed.
    std::string got;
    char buffer[16];
    while (got.size() < 4) {
        const ssize_t n = ::read(s, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(got, "\x01\x02\xFF"
                   "A");
    ASSERT_EQ(::write(s, "ABC", 3), 3);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ::close(s);
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0);

    const std::string p = std::to_string(port);
    EXPECT_EQ(ReadFile(out), " , TCP SERVER설정: PORT:" + p + " , 접속자 수 : 0\n" +
                                 " , TCP SERVER설정: PORT:" + p + " , 접속자 수:1\n" +
                                 "records=3 bytes=7\n");
    Result dump = Run({"dump", alr, "--binary"});
    EXPECT_EQ(dump.out, "1/1\nT01\tT02\tTFF\tT41\tR41\tR42\tR43\n");
}

TEST_F(Cli, CaptureOnALinkThatCannotOpenFails) {
    Result r = Run({"capture", "--link", "serial", "--com", "1=/dev/quillet-absent", "--out",
                    (m_dir / "x.alr").string(), "--seconds", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, " , RS-232C설정: 통신실패 \n");
    EXPECT_EQ(r.err, "COM1 (/dev/quillet-absent): No such file or directory\n"
                     "quillet-cli capture: the link never came up\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.alr"));

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"capture", "--out", "x.alr"},
          {"capture", "--link", "modem", "--out", "x.alr"},
          {"capture", "--link", "udp", "--out", "x.alr", "--send-hex", "12G4"},
          {"capture", "--link", "udp", "--out", "x.alr", "--seconds", "3000000"},
          {"capture", "--link", "udp", "--port", "many", "--out", "x.alr"},
          {"capture", "--link", "udp"}}) {
        EXPECT_EQ(Run(bad).status, 64) << bad.back();
    }
    // Values no link can use: a usage error naming the option.
    for (const auto& [option, value] : {std::pair{"--port", "0"},
                                        {"--port", "99999"},
                                        {"--port", "-5"},
                                        {"--udp-port", "0"},
                                        {"--udp-port", "65536"},
                                        {"--socket", "ZZZZ"},
                                        {"--socket", "0000"},
                                        {"--socket", "2FF"},
                                        {"--network", "0000000G"},
                                        {"--node", "7F000001"}}) {
        Result bad = Run({"capture", "--link", "tcp-server", option, value, "--out",
                          (m_dir / "x.alr").string(), "--seconds", "1"});
        EXPECT_EQ(bad.status, 64) << option << ' ' << value;
        EXPECT_TRUE(bad.err.starts_with(std::string("quillet-cli capture: ") + option + " needs "))
            << bad.err;
        EXPECT_NE(bad.err.find(value), std::string::npos) << bad.err;
    }
    Result odd = Run({"capture", "--link", "udp", "--out", "x.alr", "--send-hex", "123"});
    EXPECT_EQ(odd.status, 2);
    EXPECT_EQ(odd.err, "데이터가 짝수여야 합니다. \n");
}

// quillet-cli running beside the test, its standard input and output
// pipes the test holds, its standard error a file.
class Spawned {
public:
    Spawned(const std::vector<std::string>& argsIn, const std::filesystem::path& errFile)
        : m_errFile(errFile) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args = argsIn;
        args.insert(args.begin(), QUILLET_CLI_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_nInput = in[1];
        m_nOutput = out[0];
    }
    ~Spawned() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        CloseInput();
        CloseOutput();
    }
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    pid_t Pid() const { return m_pid; }

    // One line of standard output without its newline; what there is when
    // it ends or nothing comes for 30 s.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        pollfd p{m_nOutput, POLLIN, 0};
        while (::poll(&p, 1, 30000) == 1 && ::read(m_nOutput, &c, 1) == 1 && c != '\n')
            line.push_back(c);
        return line;
    }
    std::string ReadRest() {
        std::string rest;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_nOutput, buffer, sizeof buffer)) > 0)
            rest.append(buffer, static_cast<std::size_t>(n));
        return rest;
    }
    void CloseInput() { CloseFd(m_nInput); }
    void CloseOutput() { CloseFd(m_nOutput); }

    // The exit status, or -1 for a death by signal.
    int Wait() {
        int raw = 0;
        ::waitpid(m_pid, &raw, 0);
        m_pid = -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Errors() const { return ReadFile(m_errFile); }

private:
    static void CloseFd(int& fd) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    std::filesystem::path m_errFile;
    pid_t m_pid = -1;
    int m_nInput = -1;
    int m_nOutput = -1;
};

std::string Pattern(std::size_t n, std::uint32_t seed) {
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return bytes;
}

// "01 02 0A ...": hex pairs with blanks between them, as users type them.
std::string SpacedHex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        if (!hex.empty())
            hex.push_back(' ');
        hex.push_back(kDigits[c >> 4]);
        hex.push_back(kDigits[c & 15]);
    }
    return hex;
}

void SendAll(int s, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::string ReadExactly(int s, std::size_t count) {
    std::string got;
    char buffer[4096];
    while (got.size() < count) {
        const ssize_t n = ::read(s, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// Sends the last bytes, then waits until the capture has taken them all
// and closed its side: it reads everything that came before the close.
void FinishSending(int s) {
    ::shutdown(s, SHUT_WR);
    char buffer[256];
    while (::read(s, buffer, sizeof buffer) > 0) {
    }
    ::close(s);
}

struct Captured {
    std::string m_strSent;
    std::string m_strReceived;
    int m_nLongest = 0;
    std::vector<int> m_receivedLengths;
};

Captured LoadCapture(const std::filesystem::path& path) {
    CTessaryDoc doc;
    std::string error;
    Captured c;
    EXPECT_TRUE(CAlrFile::Load(doc, path, error)) << error;
    for (std::size_t i = 0; i < doc.GetCount(); ++i) {
        const TrafficRecord r = doc.GetRecord(i);
        const std::string bytes(reinterpret_cast<const char*>(r.m_pData),
                                static_cast<std::size_t>(r.m_nLength));
        c.m_nLongest = std::max(c.m_nLongest, r.m_nLength);
        if (r.m_nDirection == TRAFFIC_TX) {
            c.m_strSent += bytes;
        } else {
            c.m_strReceived += bytes;
            c.m_receivedLengths.push_back(r.m_nLength);
        }
    }
    return c;
}

TEST_F(Cli, CaptureKeepsEveryByteOfBlocksOver4096InOrder) {
    const int port = FreeTcpPort();
    const auto alr = m_dir / "long.alr";
    const std::string greeting = Pattern(5000, 1);
    // No --seconds: the end of standard input ends the capture.
    Spawned capture({"capture", "--link", "tcp-server", "--port", std::to_string(port), "--out",
                     alr.string(), "--send-hex", SpacedHex(greeting)},
                    m_dir / "err");
    const int s = ConnectLoopback(port);
    ASSERT_GE(s, 0);
    EXPECT_EQ(ReadExactly(s, greeting.size()), greeting);
    std::string sent;
    for (std::size_t burst : {4097u, 5000u, 16384u}) {
        const std::string bytes = Pattern(burst, static_cast<std::uint32_t>(burst));
        SendAll(s, bytes);
        sent += bytes;
    }
    FinishSending(s);
    capture.CloseInput();
    const std::string out = capture.ReadRest();
    ASSERT_EQ(capture.Wait(), 0) << capture.Errors();

    const Captured c = LoadCapture(alr);
    EXPECT_EQ(c.m_strSent, greeting);
    EXPECT_EQ(c.m_strReceived, sent);
    EXPECT_LE(c.m_nLongest, 4096);
    EXPECT_NE(out.find(" bytes=" + std::to_string(greeting.size() + sent.size()) + "\n"),
              std::string::npos)
        << out;
}

TEST_F(Cli, CaptureKeepsUdpDatagramsUpToTheLargestWhole) {
    int peerPort = 0;
    const int peer = BoundUdpSocket(peerPort);
    int localPort = 0;
    ::close(BoundUdpSocket(localPort));
    const auto alr = m_dir / "udp.alr";
    const std::string greeting = Pattern(5000, 2);
    Spawned capture({"capture", "--link", "udp", "--udp-port", std::to_string(localPort), "--ip",
                     "127.0.0.1", "--port", std::to_string(peerPort), "--out", alr.string(),
                     "--seconds", "2", "--send-hex", SpacedHex(greeting)},
                    m_dir / "err");
    std::string datagram(70000, '\0');
    pollfd p{peer, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 30000), 1);
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = ::recvfrom(peer, datagram.data(), datagram.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
    ASSERT_EQ(n, 5000);
    EXPECT_EQ(datagram.substr(0, 5000), greeting);

    std::string sent;
    for (std::size_t size : {4097u, 16385u, 65507u}) {
        const std::string bytes = Pattern(size, static_cast<std::uint32_t>(size));
        ASSERT_EQ(::sendto(peer, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from),
                           fromLen),
                  static_cast<ssize_t>(size));
        sent += bytes;
    }
    ::close(peer);
    ASSERT_EQ(capture.Wait(), 0) << capture.Errors();
    const Captured c = LoadCapture(alr);
    EXPECT_EQ(c.m_strSent, greeting);
    EXPECT_EQ(c.m_strReceived.size(), sent.size());
    EXPECT_EQ(c.m_strReceived, sent);
    EXPECT_LE(c.m_nLongest, 4096);
}

TEST_F(Cli, CaptureOnASerialPortSendsLongBlocksWholeAndRecordsWhatWentOut) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const auto alr = m_dir / "serial.alr";
    const std::string first = Pattern(10000, 5);
    const std::string second = Pattern(10, 6);
    Spawned capture({"capture", "--link", "serial", "--env", "1,115200,N,8,1,0,0", "--com",
                     "1=" + std::string(name), "--out", alr.string(), "--seconds", "2",
                     "--send-hex", SpacedHex(first), "--send-hex", SpacedHex(second)},
                    m_dir / "err");
    EXPECT_EQ(ReadExactly(master, first.size() + second.size()), first + second);
    ASSERT_EQ(capture.Wait(), 0) << capture.Errors();
    const Captured c = LoadCapture(alr);
    EXPECT_EQ(c.m_strSent, first + second);
    EXPECT_LE(c.m_nLongest, 4096);
    ::close(master);
    ::close(slave);
}

TEST_F(Cli, TwoCapturesToOneFileLeaveOneOfThemWhole) {
    const auto alr = m_dir / "shared.alr";
    std::vector<std::unique_ptr<Spawned>> captures;
    std::vector<std::string> data;
    for (int i = 0; i < 2; ++i) {
        const int port = FreeTcpPort();
        captures.push_back(std::make_unique<Spawned>(
            std::vector<std::string>{"capture", "--link", "tcp-server", "--port",
                                     std::to_string(port), "--out", alr.string()},
            m_dir / ("err" + std::to_string(i))));
        const int s = ConnectLoopback(port);
        ASSERT_GE(s, 0);
        data.push_back(Pattern(4u << 20, static_cast<std::uint32_t>(i + 10)));
        SendAll(s, data.back());
        FinishSending(s);
    }
    // Both save at once.
    for (auto& c : captures)
        c->CloseInput();
    for (auto& c : captures)
        EXPECT_EQ(c->Wait(), 0) << c->Errors();

    const Captured c = LoadCapture(alr);
    EXPECT_TRUE(c.m_strReceived == data[0] || c.m_strReceived == data[1])
        << "a file mixing both, " << c.m_strReceived.size() << " bytes";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 3)
        << "the capture and two error files, no temporary file";
}

TEST_F(Cli, CaptureSavesOnSighupAndOutlivesItsStandardOutput) {
    // SIGHUP, as when the terminal is closed.
    {
        const int port = FreeTcpPort();
        Spawned capture({"capture", "--link", "tcp-server", "--port", std::to_string(port), "--out",
                         (m_dir / "hup.alr").string()},
                        m_dir / "err");
        const int s = ConnectLoopback(port);
        ASSERT_GE(s, 0);
        SendAll(s, "hang up");
        FinishSending(s);
        ::kill(capture.Pid(), SIGHUP);
        EXPECT_EQ(capture.Wait(), 0) << capture.Errors();
        EXPECT_EQ(LoadCapture(m_dir / "hup.alr").m_strReceived, "hang up");
    }
    // `capture ... | head -1`: the reader goes after the first line.
    {
        const int port = FreeTcpPort();
        Spawned capture({"capture", "--link", "tcp-server", "--port", std::to_string(port), "--out",
                         (m_dir / "pipe.alr").string(), "--send-hex", "06"},
                        m_dir / "err");
        EXPECT_NE(capture.ReadLine().find("TCP SERVER"), std::string::npos);
        capture.CloseOutput();
        const int s = ConnectLoopback(port);
        ASSERT_GE(s, 0);
        // The new status line finds no reader; the capture goes on.
        EXPECT_EQ(ReadExactly(s, 1), "\x06");
        SendAll(s, "still here");
        FinishSending(s);
        capture.CloseInput();
        EXPECT_EQ(capture.Wait(), 0) << capture.Errors();
        const Captured c = LoadCapture(m_dir / "pipe.alr");
        EXPECT_EQ(c.m_strSent, "\x06");
        EXPECT_EQ(c.m_strReceived, "still here");
    }
}

TEST_F(Cli, CaptureChecksItsTargetBeforeCapturing) {
    WriteFile(m_dir / "plain", "x");
    std::filesystem::create_directory(m_dir / "locked");
    std::filesystem::permissions(m_dir / "locked", std::filesystem::perms::owner_read |
                                                       std::filesystem::perms::owner_exec);
    ASSERT_EQ(::mkfifo((m_dir / "fifo.alr").c_str(), 0600), 0);
    // /dev/null's numbers in a folder of ours, so a fault replaces no real device.
    const bool root = ::geteuid() == 0;
    if (root)
        ASSERT_EQ(::mknod((m_dir / "null.alr").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    else
        std::cout << "[ SKIPPED  ] the device node case: only root can make one\n";
    struct Case {
        std::filesystem::path path;
        std::string reason;
    } cases[] = {
        {m_dir / "absent" / "x.alr", "No such file or directory"},
        {m_dir / "plain" / "x.alr", "Not a directory"},
        {m_dir / "locked" / "x.alr", "Permission denied"},
        {m_dir / "fifo.alr", "일반 파일이 아닙니다: FIFO"},
        {m_dir / "null.alr", "일반 파일이 아닙니다: 장치"},
    };
    for (const Case& c : cases) {
        if (c.reason == "Permission denied" && root)
            continue; // root writes anywhere
        if (c.path.filename() == "null.alr" && !root)
            continue;
        const Result r =
            Run({"capture", "--link", "tcp-server", "--port", std::to_string(FreeTcpPort()),
                 "--out", c.path.string(), "--seconds", "5"});
        EXPECT_EQ(r.status, 1) << c.path;
        EXPECT_EQ(r.err, "quillet-cli: 캡처 파일을 만들 수 없습니다: " + c.path.string() + " (" +
                             c.reason + ")\n");
        EXPECT_EQ(r.out, "") << "the link was never opened";
    }
    EXPECT_EQ(std::filesystem::status(m_dir / "fifo.alr").type(), std::filesystem::file_type::fifo);
    if (root) {
        EXPECT_EQ(std::filesystem::status(m_dir / "null.alr").type(),
                  std::filesystem::file_type::character);
    }
}

TEST_F(Cli, CaptureEndsNoSoonerThanItsSeconds) {
    // A timer allowed to round its end to a "nice" fraction of the second
    // fires early for about half of the start times: captures are started
    // one after the other until their starts span a whole second, each timed
    // from its status line (printed as it starts capturing) to the end of
    // its output.
    std::vector<std::unique_ptr<Spawned>> captures;
    std::vector<std::string> lines;
    std::vector<std::string> rests(64);
    std::vector<std::chrono::steady_clock::duration> ran(64);
    std::vector<std::thread> readers;
    const auto first = std::chrono::steady_clock::now();
    while (captures.size() < 64 &&
           std::chrono::steady_clock::now() - first < std::chrono::seconds(1)) {
        const std::size_t i = captures.size();
        int port = 0;
        ::close(BoundUdpSocket(port));
        captures.push_back(std::make_unique<Spawned>(
            std::vector<std::string>{"capture", "--link", "udp", "--udp-port", std::to_string(port),
                                     "--port", "9", "--ip", "127.0.0.1", "--out",
                                     (m_dir / (std::to_string(i) + ".alr")).string(), "--seconds",
                                     "2"},
            m_dir / "err"));
        lines.push_back(captures[i]->ReadLine());
        const auto started = std::chrono::steady_clock::now();
        readers.emplace_back([&, i, started] {
            rests[i] = captures[i]->ReadRest();
            ran[i] = std::chrono::steady_clock::now() - started;
        });
    }
    for (auto& t : readers)
        t.join();
    for (std::size_t i = 0; i < captures.size(); ++i) {
        EXPECT_NE(lines[i].find("UDP SERVER"), std::string::npos) << lines[i];
        EXPECT_EQ(rests[i], "records=0 bytes=0\n");
        EXPECT_EQ(captures[i]->Wait(), 0);
        EXPECT_GE(ran[i], std::chrono::seconds(2))
            << std::chrono::duration_cast<std::chrono::milliseconds>(ran[i]).count() << " ms";
    }
}

TEST_F(Cli, DumpRefusesWhatIsNoCaptureFileWithThePathAndTheReason) {
    ASSERT_EQ(::mkfifo((m_dir / "fifo.alr").c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {m_dir.Path().string(), "Is a directory"},
        {(m_dir / "fifo.alr").string(), "일반 파일이 아닙니다: FIFO"},
        {"/dev/zero", "일반 파일이 아닙니다: 장치"},
        {(m_dir / "absent.alr").string(), "No such file or directory"},
    };
    for (const Case& c : cases) {
        // Bounded, so a dump that blocks fails instead of hanging the run.
        const Result r = Run({"dump", c.path}, "timeout 20");
        EXPECT_EQ(r.status, 1) << c.path;
        EXPECT_EQ(r.err, "캡처 파일을 열 수 없습니다: " + c.path + " (" + c.reason + ")\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(Cli, UsageErrorsNameTheArgumentAtFault) {
    // Never written: each command is refused before it captures.
    const std::string x = (m_dir / "x.alr").string();
    struct Case {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"dump", "a.alr", "b.alr"}, "'b.alr'"},
        {{"dump", "--pages", "2", "a.alr"}, "'--pages'"},
        {{"dump", "a.alr", "--page"}, "--page needs"},
        {{"dump"}, "FILE.alr"},
        {{"tool", "crc", "01"}, "'crc'"},
        {{"tool", "sum"}, "sum needs"},
        {{"tool", "sum", "a", "b"}, "'b'"},
        {{"capture", "--link", "udp", "--out", x, "--second", "3"}, "'--second'"},
        {{"capture", "--link", "udp", "--out"}, "--out needs"},
        {{"capture", "--link", "udp", "--port", "many", "--out", x}, "'many'"},
        {{"capture", "--link", "modem", "--out", x}, "'modem'"},
        {{"capture", "--link", "udp", "--com", "COM1", "--out", x}, "'COM1'"},
        {{"capture", "--link", "udp", "--out", x, "--seconds", "soon"}, "'soon'"},
        {{"capture", "--link", "udp", "--out", x, "--send-hex", "0x12"}, "'x'"},
        {{"capture", "--link", "udp", "--out", x, "--send-hex", "12G4"}, "'G'"},
        {{"capture", "--link", "udp", "--out", x, "--send-hex", "1 2"}, "빈칸"},
        {{"capture", "--link", "udp", "--out", x, "--send-hex", ""}, "--send-hex"},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 64) << c.named;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err.substr(0, 200);
    }
}

} // namespace
