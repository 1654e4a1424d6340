#include "link/CHexCodec.h"
#include "TestBytes.h"
#include "link/ILinkHub.h"

#include <gtest/gtest.h>

namespace {

struct Recorder {
    std::vector<std::string> messages;
    CHexCodec Codec() {
        return CHexCodec([this](const std::string& m) { messages.push_back(m); });
    }
};

TEST(HexCodec, TextToHexAndSum) {
    Recorder r;
    CHexCodec codec = r.Codec();
    EXPECT_EQ(codec.AsciiToHex("AB"), "4142");
    EXPECT_EQ(codec.AsciiToHex("\xB0"), "B0");
    EXPECT_EQ(codec.AsciiToHex("Hello"), "48656C6C6F");
    EXPECT_EQ(codec.AsciiToHex(""), "");
    EXPECT_EQ(codec.SumCheck("abc"), "26");
    EXPECT_EQ(codec.SumCheck("123"), "96");
    EXPECT_EQ(codec.SumCheck(""), "00");
    EXPECT_EQ(codec.SumCheck("\xFF\x02"), "01"); // carries out of 8 bits are dropped
    EXPECT_TRUE(r.messages.empty());
}

TEST(HexCodec, Crc16MatchesModbusAndPublishedCheckValue) {
    Recorder r;
    CHexCodec codec = r.Codec();
    EXPECT_EQ(codec.HexCrc16("010300000001"), "840a");
    const std::string digits = "123456789";
    EXPECT_EQ(CHexCodec::Crc16(9, reinterpret_cast<const std::uint8_t*>(digits.data()), 0xFFFF),
              0x4B37);
    EXPECT_EQ(CHexCodec::Crc16(0, nullptr, 0xFFFF), 0xFFFF);
    EXPECT_EQ(codec.HexCrc16(""), "ffff");
}

TEST(HexCodec, DecodingReadsPairsLikeScanf) {
    Recorder r;
    CHexCodec codec = r.Codec();
    struct Case {
        const char* hex;
        std::string bytes;
    } cases[] = {
        {"4142", "AB"},
        {"48656C6C6F", "Hello"},
        {"4G42", std::string("\x04") + "B"},  // stops at the first non-digit
        {"6a6B", "jk"},                       // either case
        {"G142", std::string("\0", 1) + "B"}, // no digit at the start gives 0
        {" 4", "\x04"},                       // a leading blank is skipped
        {"0041", std::string("\0", 1) + "A"}, // a decoded 0 is kept
    };
    for (const Case& c : cases)
        EXPECT_EQ(codec.HexToAscii(c.hex), c.bytes) << c.hex;
    EXPECT_TRUE(r.messages.empty());
}

TEST(HexCodec, OddDigitCountShowsMessageAndGivesNothing) {
    Recorder r;
    CHexCodec codec = r.Codec();
    EXPECT_EQ(codec.HexToAscii("414"), "");
    EXPECT_EQ(codec.HexCrc16("486"), "");
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0], "데이터가 짝수여야 합니다. ");
    EXPECT_EQ(r.messages[1], "데이터가 짝수여야 합니다. ");
    // Through the hub seam, as the screens use it.
    struct Hub : ILinkHub {
        std::vector<std::string> shown;
        void SendToLink(const std::uint8_t*, int) override {}
        bool IsLinkUp() const override { return false; }
        int GetLinkKind() const override { return 6; }
        void ShowMessage(const std::string& text) override { shown.push_back(text); }
    } hub;
    EXPECT_EQ(CHexCodec(hub).HexCrc16("1"), "");
    EXPECT_EQ(hub.shown, std::vector<std::string>{"데이터가 짝수여야 합니다. "});
    // Without a message sink the refusal is silent but the same.
    EXPECT_EQ(CHexCodec().HexToAscii("1"), "");
}

TEST(HexCodec, HexToBytesFillsExactlyNAndPadsWithZero) {
    CHexCodec codec;
    std::uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    codec.HexToBytes("2FFF", out, 2);
    EXPECT_EQ(out[0], 0x2F);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0xAA); // nothing past n is touched
    codec.HexToBytes("2F", out, 2);
    EXPECT_EQ(out[0], 0x2F);
    EXPECT_EQ(out[1], 0x00);
}

TEST(HexCodec, BytesToHex) {
    CHexCodec codec;
    const Bytes b = "00 00 00 0A"_hex;
    EXPECT_EQ(codec.BytesToHex(b.data(), 4), "0000000A");
    EXPECT_EQ(codec.BytesToHex(b.data(), 0), "");
}

TEST(HexCodec, DecodesAtMost4096Bytes) {
    Recorder r;
    CHexCodec codec = r.Codec();
    std::string hex;
    for (int i = 0; i < 5000; ++i)
        hex += "41";
    EXPECT_EQ(codec.HexToAscii(hex), std::string(4096, 'A'));
    EXPECT_EQ(codec.HexCrc16(hex), codec.HexCrc16(hex.substr(0, 8192)));
    // HexToBytes clips n to the decoding buffer, never writing past 4096.
    std::vector<std::uint8_t> out(4096);
    codec.HexToBytes(hex, out.data(), 100000);
    EXPECT_EQ(out.back(), 0x41);
}

} // namespace
