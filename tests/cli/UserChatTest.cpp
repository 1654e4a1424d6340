// The user-protocol and chat commands against real peers on loopback: a
// scripted device for the user rows, and a second quillet-cli for chat.
#include "TestFiles.h"
#include "TestSockets.h"
#include "link/CCp949.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// quillet-cli with a pipe on standard input and one on standard output.
class Child {
public:
    Child(std::vector<std::string> args, const std::filesystem::path& errFile) : m_err(errFile) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
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
        m_nIn = in[1];
        m_nOut = out[0];
    }
    ~Child() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        CloseInput();
        if (m_nOut >= 0)
            ::close(m_nOut);
    }
    void Type(const std::string& text) {
        ASSERT_EQ(::write(m_nIn, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseInput() {
        if (m_nIn >= 0)
            ::close(m_nIn);
        m_nIn = -1;
    }
    // One line of output; what there is when nothing comes for 10 s.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        pollfd p{m_nOut, POLLIN, 0};
        while (::poll(&p, 1, 10000) == 1 && ::read(m_nOut, &c, 1) == 1 && c != '\n')
            line.push_back(c);
        return line;
    }
    int Wait() {
        int raw = 0;
        ::waitpid(m_pid, &raw, 0);
        m_pid = -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Errors() const { return ReadFile(m_err); }

private:
    std::filesystem::path m_err;
    pid_t m_pid = -1;
    int m_nIn = -1;
    int m_nOut = -1;
};

// Whether something listens on the TCP port, from /proc/net/tcp and tcp6,
// without connecting to it (a chat server counts every client).
bool IsListening(int port) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ":%04X", port);
    for (const char* file : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(file);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (local.ends_with(suffix) && state == "0A")
                return true;
        }
    }
    return false;
}

void WaitListening(int port) {
    for (int i = 0; i < 500 && !IsListening(port); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string UserRows(const std::vector<std::vector<std::string>>& rows) {
    static const char* keys[] = {"DATATYPE", "SENDCHOOSE", "DATA", "SENDBYTE", "WAITTIME"};
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += "[USER_INI" + std::to_string(i) + "]\r\n";
        for (std::size_t k = 0; k < 5; ++k)
            text += std::string(keys[k]) + "=" + rows[i][k] + "\r\n";
    }
    text += "[USER_INI" + std::to_string(rows.size()) + "]\r\nDATATYPE=\r\n";
    return CCp949::FromUtf8(text);
}

TEST(ChatCli, TwoProcessesExchangeKoreanLinesOverTcp) {
    TempDir dir;
    const std::string port = std::to_string(FreeTcpPort());
    Child server({"chat", "--link", "tcp-server", "--port", port}, dir / "server.err");
    WaitListening(std::stoi(port));
    Child client({"chat", "--link", "tcp-client", "--ip", "127.0.0.1", "--port", port},
                 dir / "client.err");

    client.Type("안녕하세요, 서버\n");
    EXPECT_EQ(client.ReadLine(), "[나....] : 안녕하세요, 서버");
    EXPECT_EQ(server.ReadLine(), "[상대편] : 안녕하세요, 서버");
    // Two lines at once, and an empty one that sends nothing.
    server.Type("첫째 줄\n\n둘째 줄\n");
    EXPECT_EQ(server.ReadLine(), "[나....] : 첫째 줄");
    EXPECT_EQ(server.ReadLine(), "[나....] : 둘째 줄");
    EXPECT_EQ(client.ReadLine(), "[상대편] : 첫째 줄");
    EXPECT_EQ(client.ReadLine(), "[상대편] : 둘째 줄");

    client.CloseInput();
    EXPECT_EQ(client.Wait(), 0) << client.Errors();
    server.CloseInput();
    EXPECT_EQ(server.Wait(), 0) << server.Errors();
}

TEST(ChatCli, NoLinkIsRefusedWithTheScreensMessage) {
    TempDir dir;
    Child client({"chat", "--link", "tcp-client", "--ip", "127.0.0.1", "--port",
                  std::to_string(FreeTcpPort())},
                 dir / "err");
    client.CloseInput();
    EXPECT_EQ(client.Wait(), 1);
    EXPECT_NE(client.Errors().find("통신 설정을 안했거나 통신이 실패한 상태입니다."),
              std::string::npos)
        << client.Errors();
}

// A device that answers "02 03" with five bytes, in two pieces, and says
// nothing to anything else.
void ScriptedDevice(int listener) {
    const int s = ::accept(listener, nullptr, nullptr);
    std::string held;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(s, buffer, sizeof buffer)) > 0) {
        held.append(buffer, static_cast<std::size_t>(n));
        for (;;) {
            if (held.starts_with("\x02\x03")) {
                held.erase(0, 2);
                ::send(s, "\x06\x07", 2, MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ::send(s, "\x08\x09\x0A", 3, MSG_NOSIGNAL);
            } else if (held.starts_with("PING")) {
                held.erase(0, 4);
            } else {
                break;
            }
        }
    }
    ::close(s);
}

TEST(UserCli, RowsRunAgainstAScriptedDeviceAndTheIgnoredOneTimesOut) {
    TempDir dir;
    WriteFile(dir / "rows.ini", UserRows({{"BINARY", "먼저보내기", "0203", "4", "300"},
                                          {"ASCII", "먼저보내기", "PING", "2", "200"}}));
    int port = 0;
    const int listener = ListenLoopback(port);
    std::thread device(ScriptedDevice, listener);
    Child user({"user", "--rows", (dir / "rows.ini").string(), "--binary-view", "--cycles", "2",
                "--link", "tcp-client", "--ip", "127.0.0.1", "--port", std::to_string(port)},
               dir / "err");
    const std::vector<std::string> round = {"0203\t2\tBINARY\tSEND", "060708090A\t5\tBINARY\tREV",
                                            "50494E47\t4\tBINARY\tSEND",
                                            "TIME OUT\t실패\t실패\tREV"};
    for (int cycle = 0; cycle < 2; ++cycle)
        for (const std::string& line : round)
            EXPECT_EQ(user.ReadLine(), line) << "cycle " << cycle;
    EXPECT_EQ(user.ReadLine(), "");
    EXPECT_EQ(user.Wait(), 0) << user.Errors();
    EXPECT_NE(user.Errors().find("answered=2 timeouts=2"), std::string::npos) << user.Errors();
    ::close(listener);
    device.join();
}

// A device that never answers: the run is a failure, as poll's is.
TEST(UserCli, NoRowAnsweredExitsWithOne) {
    TempDir dir;
    WriteFile(dir / "rows.ini", UserRows({{"ASCII", "먼저보내기", "PING", "2", "100"}}));
    int port = 0;
    const int listener = ListenLoopback(port);
    std::thread mute([listener] {
        const int s = ::accept(listener, nullptr, nullptr);
        char buffer[256];
        while (::read(s, buffer, sizeof buffer) > 0) {
        }
        ::close(s);
    });
    Child user({"user", "--rows", (dir / "rows.ini").string(), "--cycles", "2", "--link",
                "tcp-client", "--ip", "127.0.0.1", "--port", std::to_string(port)},
               dir / "err");
    EXPECT_EQ(user.Wait(), 1) << user.Errors();
    EXPECT_NE(user.Errors().find("answered=0 timeouts=2"), std::string::npos) << user.Errors();
    EXPECT_NE(user.Errors().find("no row got an answer"), std::string::npos) << user.Errors();
    mute.join();
    ::close(listener);
}

TEST(UserCli, BadRowsAndArgumentsAreRefused) {
    TempDir dir;
    WriteFile(dir / "odd.ini", UserRows({{"BINARY", "먼저보내기", "ABC", "1", "100"}}));
    int port = 0;
    const int listener = ListenLoopback(port);
    std::thread taker([listener] { ::close(::accept(listener, nullptr, nullptr)); });
    Child user({"user", "--rows", (dir / "odd.ini").string(), "--link", "tcp-client", "--ip",
                "127.0.0.1", "--port", std::to_string(port)},
               dir / "err");
    EXPECT_EQ(user.ReadLine(), "");
    EXPECT_EQ(user.Wait(), 1);
    EXPECT_NE(user.Errors().find("ROW 1 (USER_INI0): DATA"), std::string::npos) << user.Errors();
    taker.join();
    ::close(listener);

    const std::vector<std::vector<std::string>> usage = {
        {"user", "--link", "tcp-client", "--ip", "127.0.0.1", "--port", "1"},
        {"user", "--rows", "x.ini", "--cycles", "0", "--link", "udp", "--port", "1"},
        {"user", "--rows", "x.ini", "--cycles", "1", "--seconds", "1", "--link", "udp"},
        {"chat", "--link", "tcp-client", "--ip", "127.0.0.1", "--port", "1", "--rows", "x"},
    };
    for (const auto& args : usage) {
        Child bad(args, dir / "usage.err");
        bad.CloseInput();
        EXPECT_EQ(bad.Wait(), 64) << args[1] << ' ' << bad.Errors();
    }
}

} // namespace
