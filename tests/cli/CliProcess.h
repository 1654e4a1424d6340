#pragma once

// Command-line programs run as a user runs them, for the CLI tests: a child
// process with its output in files, a socat null-modem cable.
#include "TestFiles.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace cli_test {

using namespace std::chrono_literals;

inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A child process with its output in files; ended by its pid. Its input is
// /dev/null, or with holdInput a pipe kept open until CloseInput or the end.
class Child {
public:
    Child(std::vector<std::string> args, const std::filesystem::path& out,
          const std::filesystem::path& err, bool holdInput = false) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int input[2] = {-1, -1};
        if (holdInput && ::pipe2(input, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, input[0], 0);
            posix_spawn_file_actions_addclose(&actions, input[0]);
            posix_spawn_file_actions_addclose(&actions, input[1]);
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (input[0] >= 0) {
            ::close(input[0]);
            m_nInput = input[1];
        }
    }
    ~Child() {
        Stop();
        CloseInput();
    }
    // The end of input, as Ctrl+D at a terminal.
    void CloseInput() {
        if (m_nInput >= 0)
            ::close(m_nInput);
        m_nInput = -1;
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool IsStarted() const { return m_pid > 0; }
    void Signal(int sig) const {
        if (m_pid > 0)
            ::kill(m_pid, sig);
    }
    // The exit status, -1 when it did not exit within the time.
    int Wait(std::chrono::milliseconds limit) {
        int status = -1;
        const bool ended = WaitUntil(
            [&] {
                int raw = 0;
                if (m_pid <= 0 || ::waitpid(m_pid, &raw, WNOHANG) != m_pid)
                    return false;
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                m_pid = -1;
                return true;
            },
            limit);
        return ended ? status : -1;
    }
    void Stop() {
        if (m_pid <= 0)
            return;
        Signal(SIGTERM);
        if (Wait(3s) < 0 && m_pid > 0) {
            Signal(SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_nInput = -1;
};

inline bool HasProgram(const std::string& test) {
    return std::system((test + " >/dev/null 2>&1").c_str()) == 0;
}

// A null-modem cable: socat joins two pseudo-terminals.
class PtyCable {
public:
    explicit PtyCable(const TempDir& dir)
        : m_socat({"socat", "pty,raw,echo=0,link=" + (dir / "dev0").string(),
                   "pty,raw,echo=0,link=" + (dir / "dev1").string()},
                  dir / "socat.out", dir / "socat.err") {
        if (WaitUntil(
                [&] {
                    return std::filesystem::exists(dir / "dev0") &&
                           std::filesystem::exists(dir / "dev1");
                },
                5s)) {
            m_end[0] = std::filesystem::canonical(dir / "dev0").string();
            m_end[1] = std::filesystem::canonical(dir / "dev1").string();
        }
    }
    bool IsUp() const { return !m_end[0].empty(); }
    const std::string& End(int i) const { return m_end[i]; }

private:
    Child m_socat;
    std::string m_end[2];
};

} // namespace cli_test
