#include "link/CCp949.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp949, ConvertsKoreanBothWays) {
    EXPECT_EQ(ToBytes(CCp949::FromUtf8("자동읽기")), "C0 DA B5 BF C0 D0 B1 E2"_hex);
    EXPECT_EQ(CCp949::ToUtf8(ToString("C0 DA B5 BF C0 D0 B1 E2"_hex)), "자동읽기");
    EXPECT_EQ(ToBytes(CCp949::FromUtf8("\xED\x95\x9C")), "C7 D1"_hex); // U+D55C
    EXPECT_EQ(CCp949::ToUtf8("\xC7\xD1"), "\xED\x95\x9C");
    EXPECT_EQ(CCp949::FromUtf8("abc 123"), "abc 123");
    EXPECT_EQ(CCp949::FromUtf8("자동쓰기"), CCp949::FromUtf8("자동쓰기"));
}

TEST(Cp949, UnconvertibleInputIsReplacedNotDropped) {
    // An emoji has no CP949 form; the text around it survives.
    EXPECT_EQ(CCp949::FromUtf8("a\xF0\x9F\x98\x80"
                               "b"),
              "a?b");
    // A lone lead byte at the end, and a broken pair in the middle.
    EXPECT_EQ(CCp949::ToUtf8("A\xC7"), "A\xEF\xBF\xBD");
    EXPECT_EQ(CCp949::ToUtf8(std::string("\xC7\x01Z", 3)).back(), 'Z');
    // Invalid UTF-8 in the input.
    EXPECT_EQ(CCp949::FromUtf8("x\xFFy"), "x?y");
}

TEST(Cp949, CharBoundaryNeverSplitsAPair) {
    const std::string text = CCp949::FromUtf8("A한B"); // 41 C7 D1 42
    EXPECT_EQ(CCp949::CharBoundary(text, 2), 1u);
    EXPECT_EQ(CCp949::CharBoundary(text, 3), 3u);
    EXPECT_EQ(CCp949::CharBoundary(text, 100), 4u);
}

TEST(Cp949, PairsAreTheDoubleByteCharacters) {
    EXPECT_TRUE(CCp949::IsPair(0xC7, 0xD1)); // 한
    EXPECT_TRUE(CCp949::IsPair(0xB0, 0xA1)); // 가
    EXPECT_TRUE(CCp949::IsPair(0x81, 0x41)); // the extended Hangul have letter trails
    EXPECT_FALSE(CCp949::IsPair(0xC7, 0x0D));
    EXPECT_FALSE(CCp949::IsPair(0xC7, 0xFF));
    EXPECT_FALSE(CCp949::IsPair(0x41, 0x42));
    EXPECT_FALSE(CCp949::IsPair(0x80, 0xA1));
    EXPECT_FALSE(CCp949::IsPair(0xFF, 0xA1));
    EXPECT_EQ(CCp949::PairToUtf8(0xC7, 0xD1), "한");
    EXPECT_EQ(CCp949::PairToUtf8(0xA1, 0xE7), "←");
    EXPECT_EQ(CCp949::PairToUtf8(0xC7, 0x0D), "");
    // Every pair reads as the general converter reads it.
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x41; trail <= 0xFE; ++trail) {
            const auto l = static_cast<unsigned char>(lead), t = static_cast<unsigned char>(trail);
            if (!CCp949::IsPair(l, t))
                continue;
            const char pair[2] = {static_cast<char>(l), static_cast<char>(t)};
            ASSERT_EQ(CCp949::PairToUtf8(l, t), CCp949::ToUtf8(std::string_view(pair, 2)))
                << lead << " " << trail;
        }
}

} // namespace
