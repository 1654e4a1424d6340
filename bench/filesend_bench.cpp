// File transfer throughput of two quillet-cli processes (send-files and
// receive-files), next to what bounds it:
//   - over loopback TCP, the protocol's own limit measured in the same run:
//     one 16112-byte chunk in a 16384-byte frame and a short acknowledgement
//     per round trip, by a plain blocking socket ping-pong;
//   - over a 115200-baud line (a relay between two pty pairs that paces
//     each direction at 11520 bytes/s, 10 bits a byte), next to ZMODEM
//     (sz/rz of lrzsz) through the same relay.
// The protocol is stop-and-wait: every chunk waits for its acknowledgement,
// so a round trip's turnaround is time in which the line carries nothing.
//   build/release/bench/filesend_bench [TCP_MEGABYTES] [SERIAL_KILOBYTES]
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kChunk = 16112;
constexpr int kFrame = 16384;
constexpr int kAck = 30;
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

pid_t Spawn(const std::vector<std::string>& argsIn, int in, int out, const fs::path& cwd = {}) {
    std::vector<std::string> args = argsIn;
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0)
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitExit(pid_t pid) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

void MakeFile(const fs::path& path, std::size_t size) {
    std::mt19937 gen(42);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(x), {}) ==
           std::string(std::istreambuf_iterator<char>(y), {});
}

int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
}

int Connect(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

bool ReadAll(int s, char* buffer, int count) {
    for (int done = 0; done < count;) {
        const ssize_t n = ::read(s, buffer + done, static_cast<std::size_t>(count - done));
        if (n <= 0)
            return false;
        done += static_cast<int>(n);
    }
    return true;
}

bool WriteAll(int s, const char* buffer, int count) {
    for (int done = 0; done < count;) {
        const ssize_t n = ::write(s, buffer + done, static_cast<std::size_t>(count - done));
        if (n <= 0)
            return false;
        done += static_cast<int>(n);
    }
    return true;
}

// Chunk bytes per second of a plain socket exchanging one full frame and one
// acknowledgement per round trip, with the sockets' default options.
double PingPongLimit(int rounds) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    ::listen(listener, 1);
    std::thread peer([listener, rounds] {
        const int s = ::accept(listener, nullptr, nullptr);
        std::vector<char> frame(kFrame), ack(kAck, 6);
        for (int i = 0; i < rounds; ++i)
            if (!ReadAll(s, frame.data(), kFrame) || !WriteAll(s, ack.data(), kAck))
                break;
        ::close(s);
    });
    const int s = Connect(ntohs(a.sin_port));
    std::vector<char> frame(kFrame, 2), ack(kAck);
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (!WriteAll(s, frame.data(), kFrame) || !ReadAll(s, ack.data(), kAck))
            break;
    const double seconds = Seconds(start);
    ::close(s);
    peer.join();
    ::close(listener);
    return static_cast<double>(kChunk) * rounds / seconds;
}

// One direction of the relay: what the line takes at 115200 baud, in small
// pieces, with the time each piece needs on the wire.
void Pace(int from, int to, const bool& stop) {
    char buffer[64];
    auto wireFree = Clock::now();
    while (!stop) {
        pollfd p{from, POLLIN, 0};
        if (::poll(&p, 1, 50) != 1)
            continue;
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const auto now = Clock::now();
        if (wireFree < now)
            wireFree = now;
        wireFree += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(n) / kLineBytesPerSecond));
        std::this_thread::sleep_until(wireFree);
        WriteAll(to, buffer, static_cast<int>(n));
    }
}

// Two pty pairs joined master to master through the pacing relay: the
// slaves are the two ends of a 115200-baud null-modem cable.
class CSlowLine {
public:
    CSlowLine() {
        for (int i = 0; i < 2; ++i) {
            char name[256];
            ::openpty(&m_master[i], &m_slave[i], name, nullptr, nullptr);
            termios t{};
            ::tcgetattr(m_slave[i], &t);
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave[i], TCSANOW, &t);
            m_name[i] = name;
        }
        m_relay[0] = std::thread(Pace, m_master[0], m_master[1], std::cref(m_bStop));
        m_relay[1] = std::thread(Pace, m_master[1], m_master[0], std::cref(m_bStop));
    }
    ~CSlowLine() {
        m_bStop = true;
        for (auto& t : m_relay)
            t.join();
        for (int i = 0; i < 2; ++i) {
            ::close(m_master[i]);
            ::close(m_slave[i]);
        }
    }
    const std::string& Name(int end) const { return m_name[end]; }
    int Slave(int end) const { return m_slave[end]; }

private:
    int m_master[2]{};
    int m_slave[2]{};
    std::string m_name[2];
    std::thread m_relay[2];
    bool m_bStop = false;
};

// Seconds for send-files to deliver the file; negative when it failed.
double QuilletRun(const std::vector<std::string>& sendLink,
                  const std::vector<std::string>& receiveLink, const fs::path& file,
                  const fs::path& into, int port) {
    std::vector<std::string> receive = {QUILLET_CLI_PATH, "receive-files", "--into",
                                        into.string(),    "--count",       "1"};
    receive.insert(receive.end(), receiveLink.begin(), receiveLink.end());
    const pid_t receiver = Spawn(receive, -1, -1);
    if (port) { // a server listens before the client comes
        for (int i = 0; i < 500; ++i) {
            const int probe = Connect(port);
            if (probe >= 0) {
                ::close(probe);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    std::vector<std::string> send = {QUILLET_CLI_PATH, "send-files"};
    send.insert(send.end(), sendLink.begin(), sendLink.end());
    send.push_back(file.string());
    const auto start = Clock::now();
    const int status = WaitExit(Spawn(send, -1, -1));
    const double seconds = Seconds(start);
    WaitExit(receiver);
    return status == 0 && SameFile(file, into / file.filename()) ? seconds : -1;
}

} // namespace

int main(int argc, char** argv) {
    const long long tcpBytes = (argc > 1 ? std::atoll(argv[1]) : 100) * 1000 * 1000;
    const long long serialBytes = (argc > 2 ? std::atoll(argv[2]) : 200) * 1000;
    const fs::path dir =
        fs::temp_directory_path() / ("filesend_bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "tcp");
    fs::create_directories(dir / "serial");
    fs::create_directories(dir / "zmodem");

    // Loopback TCP.
    MakeFile(dir / "tcp.bin", static_cast<std::size_t>(tcpBytes));
    const int port = FreePort();
    const double tcpSeconds =
        QuilletRun({"--link", "tcp-client", "--ip", "127.0.0.1", "--port", std::to_string(port)},
                   {"--link", "tcp-server", "--port", std::to_string(port)}, dir / "tcp.bin",
                   dir / "tcp", port);
    const double limit = PingPongLimit(static_cast<int>(std::max(1000LL, tcpBytes / kChunk)));
    const double tcpRate = tcpSeconds > 0 ? static_cast<double>(tcpBytes) / tcpSeconds : 0;
    std::printf("loopback TCP: %lld bytes in %.2f s = %.1f MB/s; plain socket ping-pong limit "
                "%.1f MB/s; ratio %.2f (target >= 0.70)\n",
                tcpBytes, tcpSeconds, tcpRate / 1e6, limit / 1e6, tcpRate / limit);

    // 115200 baud.
    MakeFile(dir / "serial.bin", static_cast<std::size_t>(serialBytes));
    double serialSeconds = -1;
    {
        CSlowLine line;
        serialSeconds = QuilletRun(
            {"--link", "serial", "--env", "1,115200,N,8,1,0,0", "--com", "1=" + line.Name(0)},
            {"--link", "serial", "--env", "1,115200,N,8,1,0,0", "--com", "1=" + line.Name(1)},
            dir / "serial.bin", dir / "serial", 0);
    }
    double zmodemSeconds = -1;
    {
        CSlowLine line;
        const pid_t rz = Spawn({"rz", "-y"}, line.Slave(1), line.Slave(1), dir / "zmodem");
        const auto start = Clock::now();
        const int status =
            WaitExit(Spawn({"sz", (dir / "serial.bin").string()}, line.Slave(0), line.Slave(0)));
        const double seconds = Seconds(start);
        const int rzStatus = WaitExit(rz);
        if (status == 0 && rzStatus == 0 && SameFile(dir / "serial.bin", dir / "zmodem/serial.bin"))
            zmodemSeconds = seconds;
    }
    const double serialRate =
        serialSeconds > 0 ? static_cast<double>(serialBytes) / serialSeconds : 0;
    const double zmodemRate =
        zmodemSeconds > 0 ? static_cast<double>(serialBytes) / zmodemSeconds : 0;
    std::printf("115200 baud: %lld bytes in %.2f s = %.0f B/s; ZMODEM (sz/rz) %.2f s = %.0f B/s; "
                "line %.0f B/s; ratio %.2f (target >= 0.90)\n",
                serialBytes, serialSeconds, serialRate, zmodemSeconds, zmodemRate,
                kLineBytesPerSecond, zmodemRate > 0 ? serialRate / zmodemRate : 0.0);
    // Frame and acknowledgement of one chunk with this file's 11-byte name
    // field: what stop-and-wait could reach with no turnaround at all.
    const double frame = 912 + 20 + 11;
    const double ack = 20 + 11;
    std::printf("stop-and-wait bound: %.0f-byte frame + %.0f-byte acknowledgement per 912-byte "
                "chunk = %.2f of the line, less one turnaround (relay, both processes) per "
                "chunk\n",
                frame, ack, 912.0 / (frame + ack));
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return tcpSeconds > 0 && serialSeconds > 0 ? 0 : 1;
}
