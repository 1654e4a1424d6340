// pcapng out of the command line: "export" of a capture file and
// "capture --out FILE.pcapng", read back by Wireshark's tshark where it is
// installed.
#include "TestFiles.h"
#include "TestSockets.h"
#include "cli/CliProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using cli_test::Child;

struct Outcome {
    int status = -1;
    std::string out, err;
};

class ExportCli : public ::testing::Test {
protected:
    Outcome Cli(std::vector<std::string> args) {
        args.insert(args.begin(), QUILLET_CLI_PATH);
        Outcome r;
        {
            Child child(args, m_dir / "out", m_dir / "err");
            r.status = child.Wait(30s);
        }
        r.out = ReadFile(m_dir / "out");
        r.err = ReadFile(m_dir / "err");
        return r;
    }

    // tshark's fields of every packet, one line each, "|" between fields.
    std::string Tshark(const std::filesystem::path& file, const std::vector<std::string>& fields) {
        std::string cmd = "tshark -r '" + file.string() + "' -T fields -E separator='|'";
        for (const auto& f : fields)
            cmd += " -e " + f;
        cmd += " 2>/dev/null";
        std::string text;
        if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
            char buffer[4096];
            std::size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
                text.append(buffer, n);
            ::pclose(pipe);
        }
        return text;
    }

    static bool HasTshark() { return cli_test::HasProgram("tshark -v"); }

    TempDir m_dir;
};

// An .ALR file of records given as (direction, bytes).
std::string Alr(const std::vector<std::pair<int, std::string>>& records) {
    std::string file;
    const auto put32 = [&file](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put32(static_cast<std::uint32_t>(records.size()));
    for (const auto& [direction, bytes] : records) {
        put32(static_cast<std::uint32_t>(bytes.size()));
        put32(static_cast<std::uint32_t>(direction));
        file += bytes;
    }
    return file;
}

// The enhanced packet blocks of a pcapng file written so far.
int PacketBlocks(const std::string& file) {
    int packets = 0;
    std::size_t at = 0;
    const auto le32 = [&file](std::size_t i) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k)
            v = (v << 8) | static_cast<unsigned char>(file[i + static_cast<std::size_t>(k)]);
        return v;
    };
    while (at + 12 <= file.size()) {
        const std::uint32_t length = le32(at + 4);
        if (length < 12 || at + length > file.size())
            break;
        packets += le32(at) == 6 ? 1 : 0;
        at += length;
    }
    return packets;
}

TEST_F(ExportCli, ExportsACaptureFileAndSaysItsRecordsHaveNoTimes) {
    using namespace std::string_literals;
    const auto alr = m_dir / "c.alr";
    WriteFile(alr, Alr({{2, "\x01\x03\x00\x10\x00\x02\xC5\xCE"s}, {1, "AB"}, {1, ""}, {2, "xyz"}}));
    const auto pcapng = m_dir / "c.pcapng";
    const Outcome r = Cli({"export", alr.string(), pcapng.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 ms"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("records=4 packets=4 linktype=147\n"), std::string::npos) << r.out;
    // dump --times says the same, and makes up no time either.
    const Outcome dump = Cli({"dump", alr.string(), "--binary", "--times"});
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_TRUE(
        dump.out.ends_with("T01\tT03\tT00\tT10\tT00\tT02\tTC5\tTCE\tR41\tR42\tT78\tT79\tT7A\n"
                           "시각 없음 (.ALR 파일은 시각을 저장하지 않습니다)\n"
                           "1\tT\t8\t-\t-\n2\tR\t2\t-\t-\n3\tR\t0\t-\t-\n4\tT\t3\t-\t-\n"))
        << dump.out;
    if (!HasTshark())
        GTEST_SKIP() << "tshark is not installed: the file is not read back";
    // Count, direction (0 sent, 1 received), the times 1 ms apart, the bytes.
    EXPECT_EQ(Tshark(pcapng, {"frame.p2p_dir", "frame.time_epoch", "frame.len", "data.data"}),
              "0|0.000000000|8|010300100002c5ce\n"
              "1|0.001000000|2|4142\n"
              "1|0.002000000|0|\n"
              "0|0.003000000|3|78797a\n");
}

// A serial capture hands frames over in pieces: the Modbus RTU export joins
// them, so Wireshark decodes every request and reply whole.
TEST_F(ExportCli, ExportJoinsModbusRtuFramesSplitAcrossRecords) {
    using namespace std::string_literals;
    const std::string read = "\x01\x03\x00\x10\x00\x02\xC5\xCE"s;
    const std::string readReply = "\x01\x03\x04\x00\x0A\x00\x0B\x9B\xF6"s;
    const std::string write = "\x01\x10\x00\x05\x00\x02\x04\x00\x07\x12\x34\x8F\x26"s;
    const std::string writeReply = "\x01\x10\x00\x05\x00\x02\x51\xC9"s;
    std::vector<std::pair<int, std::string>> records;
    for (const char c : read)
        records.emplace_back(2, std::string(1, c)); // a byte at a time
    records.emplace_back(1, readReply.substr(0, 4));
    records.emplace_back(1, readReply.substr(4));
    records.emplace_back(2, write.substr(0, 12)); // split in the CRC
    records.emplace_back(2, write.substr(12));
    records.emplace_back(1, writeReply.substr(0, 3));
    records.emplace_back(1, writeReply.substr(3));
    const auto alr = m_dir / "serial.alr";
    WriteFile(alr, Alr(records));
    const auto pcapng = m_dir / "serial.pcapng";
    const Outcome r = Cli({"export", alr.string(), pcapng.string(), "--as", "modbus-rtu"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("records=14 packets=4 linktype=252\n"), std::string::npos) << r.out;
    if (!HasTshark())
        GTEST_SKIP() << "tshark is not installed: the file is not read back";
    EXPECT_EQ(Tshark(pcapng, {"frame.p2p_dir", "modbus.func_code", "modbus.reference_num",
                              "modbus.regnum16", "modbus.regval_uint16", "mbrtu.unit_id",
                              "frame.time_epoch"}),
              "0|3|16|||1|0.000000000\n"          // the first byte's record
              "1|3||16,17|10,11|1|0.008000000\n"  // the reply's first piece
              "0|16|5|5,6|7,4660|1|0.010000000\n" // write 7 and 0x1234
              "1|16|5|||1|0.012000000\n");
}

TEST_F(ExportCli, RefusesBadInputAndLeavesNoFile) {
    const auto damaged = m_dir / "damaged.alr";
    std::string bytes = Alr({{2, "AB"}, {1, "CD"}});
    bytes[12 + 4] = 7; // the second record's direction
    WriteFile(damaged, bytes);
    const auto pcapng = m_dir / "x.pcapng";
    const struct {
        const char* m_strName;
        std::vector<std::string> m_args;
        int m_nStatus;
        std::string m_strSays;
    } cases[] = {
        // 64: a usage error.
        {"damaged capture", {"export", damaged.string(), pcapng.string()}, 1, "damaged.alr"},
        {"missing capture",
         {"export", (m_dir / "none.alr").string(), pcapng.string()},
         1,
         "none.alr"},
        {"no output", {"export", damaged.string()}, 64, "OUT.pcapng"},
        {"unknown format",
         {"export", damaged.string(), pcapng.string(), "--as", "df1"},
         64,
         "'df1'"},
        {"format missing", {"export", damaged.string(), pcapng.string(), "--as"}, 64, "modbus-rtu"},
        {"capture --as into .alr",
         {"capture", "--link", "tcp-server", "--port", "1", "--out", (m_dir / "x.alr").string(),
          "--as", "modbus-rtu"},
         64,
         "FILE.pcapng"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strName);
        const Outcome r = Cli(c.m_args);
        EXPECT_EQ(r.status, c.m_nStatus);
        EXPECT_NE(r.err.find(c.m_strSays), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(pcapng));
        EXPECT_FALSE(std::filesystem::exists(m_dir / "x.alr"));
    }
}

// Naming the capture itself as the output, by any path, leaves it as it was.
TEST_F(ExportCli, RefusesToWriteOverItsOwnCapture) {
    const auto capture = m_dir / "c.alr";
    const std::string bytes = Alr({{2, "AB"}, {1, "CD"}});
    WriteFile(capture, bytes);
    for (const auto& out : {capture, m_dir / "." / "c.alr"}) {
        const Outcome r = Cli({"export", capture.string(), out.string()});
        EXPECT_EQ(r.status, 64);
        EXPECT_NE(r.err.find("the capture itself"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(capture), bytes);
    }
}

// A live capture against the simulated MEMOBUS station in RTU framing: the
// file grows while the capture runs, and Wireshark decodes every request
// and reply as Modbus with the function codes and registers as sent.
TEST_F(ExportCli, CaptureWritesLivePcapngThatDecodesAsModbusRtu) {
    const std::string port = std::to_string(FreeTcpPort());
    Child sim({QUILLET_CLI_PATH, "sim", "yaskawa", "--mode", "rtu", "--link", "tcp-server",
               "--port", port, "--set", "16=10", "--set", "17=11"},
              m_dir / "sim.out", m_dir / "sim.err", true);
    ASSERT_TRUE(cli_test::WaitUntil(
        [&] { return ReadFile(m_dir / "sim.err").find("PORT:" + port) != std::string::npos; }, 10s))
        << ReadFile(m_dir / "sim.err");

    const auto pcapng = m_dir / "live.PCAPNG"; // the extension in any case
    const auto before = std::chrono::system_clock::now();
    Child capture({QUILLET_CLI_PATH, "capture", "--link", "tcp-client", "--ip", "127.0.0.1",
                   "--port", port, "--out", pcapng.string(), "--as", "modbus-rtu", "--send-hex",
                   "01 03 00 10 00 02 C5 CE", "--send-hex", "01100005000204000712348F26"},
                  m_dir / "cap.out", m_dir / "cap.err", true);
    // Both requests and both replies are in the file before the capture ends.
    EXPECT_TRUE(cli_test::WaitUntil([&] { return PacketBlocks(ReadFile(pcapng)) == 4; }, 20s))
        << ReadFile(m_dir / "cap.err");
    capture.CloseInput();
    EXPECT_EQ(capture.Wait(20s), 0) << ReadFile(m_dir / "cap.err");
    const auto after = std::chrono::system_clock::now();
    sim.CloseInput();
    sim.Wait(10s);
    EXPECT_NE(ReadFile(m_dir / "sim.out").find("write HR 6 4660"), std::string::npos);

    // dump reads the file back with its times: a line per packet, times to
    // the millisecond, gaps from the first packet on.
    const Outcome dump = Cli({"dump", pcapng.string(), "--binary", "--times"});
    EXPECT_EQ(dump.status, 0) << dump.err;
    const std::string gridEnd = "R51\tRC9\n"; // the write's reply ends the grid
    const std::size_t grid = dump.out.find(gridEnd);
    ASSERT_NE(grid, std::string::npos) << dump.out;
    const std::string perRecord = dump.out.substr(grid + gridEnd.size());
    const std::vector<std::pair<std::string, bool>> starts = {
        {"1\tT\t8\t", false}, {"2\tT\t13\t", true}, {"3\tR\t9\t", true}, {"4\tR\t8\t", true}};
    std::size_t line = 0;
    for (const auto& [start, gap] : starts) {
        const std::size_t end = perRecord.find('\n', line);
        ASSERT_NE(end, std::string::npos) << perRecord;
        const std::string text = perRecord.substr(line, end - line);
        EXPECT_TRUE(text.starts_with(start)) << text;
        // "2026-12-10 20:55:44.616", then the gap or "-".
        EXPECT_EQ(text.find('.', start.size()), start.size() + 19) << text;
        EXPECT_EQ(text.ends_with(" ms"), gap) << text;
        line = end + 1;
    }
    EXPECT_EQ(line, perRecord.size()) << perRecord;

    if (!HasTshark())
        GTEST_SKIP() << "tshark is not installed: the file is not read back";
    EXPECT_EQ(Tshark(pcapng, {"frame.p2p_dir", "modbus.func_code", "modbus.reference_num",
                              "modbus.regnum16", "modbus.regval_uint16", "mbrtu.unit_id"}),
              "0|3|16|||1\n"          // read 2 words from 16
              "0|16|5|5,6|7,4660|1\n" // write 7 and 0x1234 to 5 and 6
              "1|3||16,17|10,11|1\n"  // the read's reply, as preset
              "1|16|5|||1\n");        // the write's reply
    // Real times, within the run, in order.
    const std::string times = Tshark(pcapng, {"frame.time_epoch"});
    double last = 0;
    const auto secs = [](auto t) {
        return std::chrono::duration<double>(t.time_since_epoch()).count();
    };
    std::size_t at = 0;
    int lines = 0;
    for (std::size_t end; (end = times.find('\n', at)) != std::string::npos; at = end + 1) {
        const double t = std::stod(times.substr(at, end - at));
        EXPECT_GE(t, secs(before) - 0.001);
        EXPECT_LE(t, secs(after) + 0.001);
        EXPECT_GE(t, last);
        last = t;
        ++lines;
    }
    EXPECT_EQ(lines, 4);
}

} // namespace
