#include "link/CHexCodec.h"
#include "TestBytes.h"
#include "link/ILinkHub.h"

#include <gtest/gtest.h>

#include <cstdio>

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

TEST(HexCodec, TypedHexIsReadStrictlyWithBlanksBetweenPairs) {
    using E = CHexCodec::HexError;
    struct Case {
        const char* text;
        E error;
        std::size_t at;      // byte offset of the fault
        std::string bytes;   // on success
        const char* message; // empty: none
    } cases[] = {
        {"4142", E::HEX_OK, 0, "AB", ""},
        {"6a6B", E::HEX_OK, 0, "jk", ""},
        {"0041", E::HEX_OK, 0, std::string("\0A", 2), ""},
        {"", E::HEX_OK, 0, "", ""},
        {" 01 02\t0A ", E::HEX_OK, 0, "\x01\x02\x0A", ""},
        {"0102 0A", E::HEX_OK, 0, "\x01\x02\x0A", ""},
        {"0G41", E::HEX_BAD_DIGIT, 1, "",
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'G' (2번째 글자)"},
        {"1Z", E::HEX_BAD_DIGIT, 1, "",
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'Z' (2번째 글자)"},
        {"0x12", E::HEX_BAD_DIGIT, 1, "", ""},
        {"GG", E::HEX_BAD_DIGIT, 0, "", ""},
        {"01,02", E::HEX_BAD_DIGIT, 2, "", ""},
        {"01\n02", E::HEX_BAD_DIGIT, 2, "",
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: U+000A (3번째 글자)"},
        // The position counts characters, as the user sees them.
        {"가G", E::HEX_BAD_DIGIT, 0, "", ""},
        {"01가", E::HEX_BAD_DIGIT, 2, "",
         "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: '가' (3번째 글자)"},
        // A bad character is named before the digit count is looked at.
        {"0G4", E::HEX_BAD_DIGIT, 1, "", ""},
        {"414", E::HEX_ODD_DIGITS, 2, "", "데이터가 짝수여야 합니다. "},
        {"4 142", E::HEX_SPLIT_PAIR, 1, "",
         "16진수는 두 자리씩 붙여 써야 합니다: 2번째 글자의 빈칸이 한 바이트를 나눕니다."},
        {"0 1", E::HEX_SPLIT_PAIR, 1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string bytes = "junk";
        std::size_t at = 99;
        EXPECT_EQ(CHexCodec::ParseHexText(c.text, bytes, at), c.error);
        if (c.error == E::HEX_OK) {
            EXPECT_EQ(bytes, c.bytes);
        } else {
            EXPECT_TRUE(bytes.empty());
            EXPECT_EQ(at, c.at);
        }
        if (*c.message) {
            EXPECT_EQ(CHexCodec::HexErrorText(c.text, c.error, at), c.message);
        }
    }
    EXPECT_EQ(CHexCodec::CountDigits(" 01 02\t0A "), 6u);
    EXPECT_EQ(CHexCodec::CountDigits("가나"), 2u);
}

TEST(HexCodec, ToolsRefuseWhatIsNotHexAndSayWhere) {
    Recorder r;
    CHexCodec codec = r.Codec();
    EXPECT_EQ(codec.HexToAscii("4G42"), "");
    EXPECT_EQ(codec.HexCrc16("ZZ"), "");
    EXPECT_EQ(codec.HexToAscii("48 65 6C 6C 6F"), "Hello");
    EXPECT_EQ(codec.HexCrc16("01 03 00 00 00 01"), "840a");
    ASSERT_EQ(r.messages.size(), 2u);
    EXPECT_EQ(r.messages[0], "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'G' (2번째 글자)");
    EXPECT_EQ(r.messages[1], "16진수 숫자(0-9, A-F)가 아닌 문자가 있습니다: 'Z' (1번째 글자)");
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

TEST(HexCodec, LongInputsAreDecodedWhole) {
    Recorder r;
    CHexCodec codec = r.Codec();
    std::string hex;
    for (int i = 0; i < 5000; ++i)
        hex += "41";
    EXPECT_EQ(codec.HexToAscii(hex), std::string(5000, 'A'));
    const std::string bytes(5000, 'A');
    char crc[5];
    const std::uint16_t expected =
        CHexCodec::Crc16(5000, reinterpret_cast<const std::uint8_t*>(bytes.data()), 0xFFFF);
    std::snprintf(crc, sizeof crc, "%02x%02x", expected & 0xFF, expected >> 8);
    EXPECT_EQ(codec.HexCrc16(hex), crc);
    EXPECT_NE(codec.HexCrc16(hex), codec.HexCrc16(hex.substr(0, 8192))); // nothing cut
    EXPECT_TRUE(r.messages.empty());
    // HexToBytes clips n to the decoding buffer, never writing past 4096.
    std::vector<std::uint8_t> out(4096);
    codec.HexToBytes(hex, out.data(), 100000);
    EXPECT_EQ(out.back(), 0x41);
}

} // namespace
