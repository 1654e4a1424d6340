#pragma once

// A PLC engine polling its simulated station, both as the user runs them:
// "quillet-cli sim PLC" on one end of a loopback TCP link or a socat
// null-modem cable, "quillet-cli poll PLC" on the other. Values are checked
// on both sides: the poll's "[III] V" memory lines, the station's
// "write DEVICE ADDRESS VALUE" lines.
#include "TestFiles.h"
#include "TestSockets.h"
#include "cli/CliProcess.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class SimPoll : public ::testing::Test {
public:
    enum Transport { TCP, PTY };

    struct Result {
        int status = -1; // the poll's exit status
        std::string pollOut, pollErr, simOut, simErr;

        // The poll's table: index -> value, from its "[III] V" lines.
        std::map<int, unsigned> Memory() const {
            std::map<int, unsigned> words;
            std::istringstream in(pollOut);
            std::string line;
            int index = 0;
            unsigned value = 0;
            while (std::getline(in, line)) {
                if (std::sscanf(line.c_str(), "[%d] %u", &index, &value) == 2)
                    words[index] = value;
            }
            return words;
        }
        // The station's "write DEVICE ADDRESS VALUE" lines, in order.
        std::vector<std::string> Writes() const {
            std::vector<std::string> writes;
            std::istringstream in(simOut);
            std::string line;
            while (std::getline(in, line)) {
                if (line.starts_with("write "))
                    writes.push_back(line.substr(6));
            }
            return writes;
        }
        // A counter of the poll's ("replies") or the station's summary line.
        static long long Count(const std::string& out, const std::string& name) {
            const std::string key = name + "=";
            for (std::size_t at = out.rfind(key); at != std::string::npos;
                 at = at ? out.rfind(key, at - 1) : std::string::npos) {
                if (at == 0 || out[at - 1] == ' ' || out[at - 1] == '\n')
                    return std::atoll(out.c_str() + at + key.size());
            }
            return -1;
        }
    };

    // Writes the rows file (bytes as the screen saves them) and returns its path.
    std::string Rows(const std::string& fileText) {
        WriteFile(m_dir / "rows.ini", fileText);
        return (m_dir / "rows.ini").string();
    }

    // Runs the station with simArgs and then the poll with pollArgs (the
    // rows, --mode, --cycles ...) over the transport; ends the station by
    // the end of its input once the poll has ended.
    Result Run(const std::string& plc, Transport transport, std::vector<std::string> simArgs,
               std::vector<std::string> pollArgs) {
        using namespace std::chrono_literals;
        Result r;
        std::vector<std::string> simLink;
        std::vector<std::string> pollLink;
        std::unique_ptr<cli_test::PtyCable> cable;
        std::string ready;
        if (transport == TCP) {
            const std::string port = std::to_string(FreeTcpPort());
            simLink = {"--link", "tcp-server", "--port", port};
            pollLink = {"--link", "tcp-client", "--ip", "127.0.0.1", "--port", port};
            ready = "PORT:" + port;
        } else {
            if (!cli_test::HasProgram("command -v socat")) {
                r.simErr = "socat is not installed";
                return r;
            }
            cable = std::make_unique<cli_test::PtyCable>(m_dir);
            if (!cable->IsUp()) {
                r.simErr = "no pty cable: " + ReadFile(m_dir / "socat.err");
                return r;
            }
            simLink = {"--link", "serial", "--com", "1=" + cable->End(1)};
            pollLink = {"--link", "serial", "--com", "1=" + cable->End(0)};
            ready = "COM1";
        }
        simArgs.insert(simArgs.begin(), {QUILLET_CLI_PATH, "sim", plc});
        simArgs.insert(simArgs.end(), simLink.begin(), simLink.end());
        cli_test::Child sim(simArgs, m_dir / "sim.out", m_dir / "sim.err", true);
        // The station's first status line says its link is open.
        if (!cli_test::WaitUntil(
                [&] { return ReadFile(m_dir / "sim.err").find(ready) != std::string::npos; },
                10s)) {
            r.simErr = "the station did not open its link: " + ReadFile(m_dir / "sim.err");
            return r;
        }
        pollArgs.insert(pollArgs.begin(), {QUILLET_CLI_PATH, "poll", plc});
        pollArgs.insert(pollArgs.end(), pollLink.begin(), pollLink.end());
        {
            cli_test::Child poll(pollArgs, m_dir / "poll.out", m_dir / "poll.err");
            r.status = poll.Wait(60s);
        }
        sim.CloseInput();
        sim.Wait(10s);
        r.pollOut = ReadFile(m_dir / "poll.out");
        r.pollErr = ReadFile(m_dir / "poll.err");
        r.simOut = ReadFile(m_dir / "sim.out");
        r.simErr = ReadFile(m_dir / "sim.err");
        return r;
    }

protected:
    TempDir m_dir;
};
