#include "TestBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

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
    Result Run(const std::vector<std::string>& args) {
        std::string cmd;
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

} // namespace
