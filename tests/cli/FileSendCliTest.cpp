// send-files and receive-files: two quillet-cli processes joined by loopback
// TCP or by socat's pseudo-terminal pair, files compared byte for byte.
#include "TestFiles.h"
#include "TestSockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A quillet-cli (or socat) run with its output in files, ended by its pid.
class Process {
public:
    Process(std::vector<std::string> args, const fs::path& out, const fs::path& err) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() { Kill(SIGTERM); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The exit status, -1 when it did not end within the time.
    int Wait(std::chrono::milliseconds limit) {
        int status = -1;
        WaitFor(
            [&] {
                int raw = 0;
                if (m_pid <= 0 || ::waitpid(m_pid, &raw, WNOHANG) != m_pid)
                    return false;
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                m_pid = -1;
                return true;
            },
            limit);
        return status;
    }
    void Kill(int sig) {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, sig);
        if (Wait(3s) < 0 && m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

std::string Pattern(std::size_t n, std::uint32_t seed) {
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return bytes;
}

// Whether something listens on the loopback port; the probe connection is
// closed at once.
bool Listening(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

class FileSendCli : public ::testing::Test {
protected:
    FileSendCli() {
        fs::create_directories(m_dir / "src");
        fs::create_directories(m_dir / "dst");
    }
    // Source files by name and size, made once.
    std::vector<std::string> Files(const std::vector<std::pair<std::string, std::size_t>>& specs) {
        std::vector<std::string> paths;
        std::uint32_t seed = 7;
        for (const auto& [name, size] : specs) {
            WriteFile(m_dir / "src" / name, Pattern(size, ++seed));
            paths.push_back((m_dir / "src" / name).string());
        }
        return paths;
    }
    std::unique_ptr<Process> Receive(std::vector<std::string> link, int count, int port = 0) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "receive-files",
                                         "--into",         (m_dir / "dst").string(),
                                         "--count",        std::to_string(count)};
        args.insert(args.end(), link.begin(), link.end());
        auto receiver = std::make_unique<Process>(args, m_dir / "recv.out", m_dir / "recv.err");
        if (port) {
            EXPECT_TRUE(WaitFor([port] { return Listening(port); }, 10s));
        }
        return receiver;
    }
    int Send(std::vector<std::string> link, const std::vector<std::string>& files,
             const std::string& tag, std::chrono::milliseconds limit) {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "send-files"};
        args.insert(args.end(), link.begin(), link.end());
        args.insert(args.end(), files.begin(), files.end());
        Process sender(args, m_dir / (tag + ".out"), m_dir / (tag + ".err"));
        return sender.Wait(limit);
    }
    void ExpectSame(const std::vector<std::string>& files) {
        for (const std::string& f : files) {
            const fs::path name = fs::path(f).filename();
            EXPECT_TRUE(ReadFile(f) == ReadFile(m_dir / "dst" / name)) << name;
            EXPECT_NE(ReadFile(m_dir / "recv.out").find(" " + name.string() + "\n"),
                      std::string::npos)
                << name;
        }
    }

    TempDir m_dir;
};

std::vector<std::string> TcpServer(int port) {
    return {"--link", "tcp-server", "--port", std::to_string(port)};
}
std::vector<std::string> TcpClient(int port) {
    return {"--link", "tcp-client", "--ip", "127.0.0.1", "--port", std::to_string(port)};
}

} // namespace

TEST_F(FileSendCli, SetOfFilesOverLoopbackTcp) {
    const auto files = Files({{"empty", 0},
                              {"one", 1},
                              {"serial3.bin", 3 * 912},
                              {"net2.bin", 2 * 16112},
                              {"한글 이름.dat", 20000},
                              {"big.bin", 50u * 1000 * 1000}});
    const int port = FreeTcpPort();
    auto receiver = Receive(TcpServer(port), static_cast<int>(files.size()), port);
    ASSERT_EQ(Send(TcpClient(port), files, "send", 300s), 0) << ReadFile(m_dir / "send.err");
    EXPECT_EQ(receiver->Wait(10s), 0) << ReadFile(m_dir / "recv.err");
    ExpectSame(files);
    EXPECT_NE(ReadFile(m_dir / "send.out").find("sent 50000000 big.bin\n"), std::string::npos);
}

TEST_F(FileSendCli, SetOfFilesOverAPtyPair) {
    if (std::system("command -v socat >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "socat is not installed";
    Process socat({"socat", "pty,raw,echo=0,link=" + (m_dir / "dev0").string(),
                   "pty,raw,echo=0,link=" + (m_dir / "dev1").string()},
                  m_dir / "socat.out", m_dir / "socat.err");
    ASSERT_TRUE(
        WaitFor([&] { return fs::exists(m_dir / "dev0") && fs::exists(m_dir / "dev1"); }, 5s));
    auto serial = [&](const char* end) {
        return std::vector<std::string>{"--link", "serial",
                                        "--env",  "1,115200,N,8,1,0,0",
                                        "--com",  "1=" + fs::canonical(m_dir / end).string()};
    };
    const auto files = Files({{"empty", 0},
                              {"one", 1},
                              {"serial2.bin", 2 * 912},
                              {"net1.bin", 16112},
                              {"한글.txt", 5000},
                              {"few-hundred-k.bin", 300 * 1000}});
    auto receiver = Receive(serial("dev1"), static_cast<int>(files.size()));
    ASSERT_EQ(Send(serial("dev0"), files, "send", 120s), 0) << ReadFile(m_dir / "send.err");
    EXPECT_EQ(receiver->Wait(10s), 0) << ReadFile(m_dir / "recv.err");
    ExpectSame(files);
}

// The sender is cut off mid-file; sent again, it goes on where the
// receiver's copy stops and the file completes identical.
TEST_F(FileSendCli, CutMidTransferCompletesByResume) {
    const auto files = Files({{"cut.bin", 20u * 1000 * 1000}});
    const int port = FreeTcpPort();
    auto receiver = Receive(TcpServer(port), 1, port);
    {
        std::vector<std::string> args = {QUILLET_CLI_PATH, "send-files"};
        for (const auto& a : TcpClient(port))
            args.push_back(a);
        args.push_back(files[0]);
        Process first(args, m_dir / "first.out", m_dir / "first.err");
        ASSERT_TRUE(WaitFor(
            [&] {
                std::error_code ec;
                return fs::file_size(m_dir / "dst" / "cut.bin", ec) > 2u * 1000 * 1000 && !ec;
            },
            120s));
        first.Kill(SIGKILL);
    }
    const auto partial = fs::file_size(m_dir / "dst" / "cut.bin");
    ASSERT_LT(partial, 20u * 1000 * 1000);
    ASSERT_EQ(Send(TcpClient(port), files, "second", 120s), 0) << ReadFile(m_dir / "second.err");
    EXPECT_EQ(receiver->Wait(10s), 0) << ReadFile(m_dir / "recv.err");
    ExpectSame(files);
    // It went on from the receiver's copy, not from the start.
    const std::string out = ReadFile(m_dir / "second.out");
    unsigned long long offset = 0;
    ASSERT_EQ(std::sscanf(out.c_str(), "resume %llu cut.bin", &offset), 1) << out;
    EXPECT_EQ(offset, partial / 16112 * 16112);
    EXPECT_GT(offset, 0u);
}

TEST_F(FileSendCli, RefusalsSayWhy) {
    const int port = FreeTcpPort();
    auto receiver = Receive(TcpServer(port), 1, port);
    EXPECT_EQ(Send(TcpClient(port), {(m_dir / "src" / "missing.bin").string()}, "missing", 30s), 1);
    EXPECT_NE(ReadFile(m_dir / "missing.err").find("missing.bin"), std::string::npos);
    EXPECT_EQ(Send(TcpClient(port), {}, "nofile", 30s), 64);
    Process noDir({QUILLET_CLI_PATH, "receive-files", "--link", "tcp-server", "--port", "1"},
                  m_dir / "nodir.out", m_dir / "nodir.err");
    EXPECT_EQ(noDir.Wait(30s), 64);
    // A folder that is a file, or one that cannot be written, ends the
    // receiver at once instead of leaving the sender unanswered.
    WriteFile(m_dir / "plain", "x");
    fs::create_directories(m_dir / "locked");
    fs::permissions(m_dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const bool root = ::geteuid() == 0; // root writes anywhere
    for (const char* into : {"plain", "plain/sub", "locked"}) {
        if (root && std::string(into) == "locked")
            continue;
        Process bad({QUILLET_CLI_PATH, "receive-files", "--into", (m_dir / into).string(), "--link",
                     "tcp-server", "--port", "1"},
                    m_dir / "bad.out", m_dir / "bad.err");
        EXPECT_EQ(bad.Wait(30s), 1) << into;
        EXPECT_NE(ReadFile(m_dir / "bad.err").find(into), std::string::npos)
            << ReadFile(m_dir / "bad.err");
    }
    fs::permissions(m_dir / "locked", fs::perms::owner_all);
}
