#include "tools/CChatLineBuffer.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

Lines Feed(CChatLineBuffer& buffer, const std::string& bytes) {
    return buffer.OnReceive(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            static_cast<int>(bytes.size()));
}

Lines Ticks(CChatLineBuffer& buffer, int n) {
    Lines all;
    for (int i = 0; i < n; ++i)
        for (std::string& line : buffer.OnTimer())
            all.push_back(std::move(line));
    return all;
}

TEST(ChatLineBuffer, LinesEndAtCrLfAcrossAndWithinDeliveries) {
    struct Case {
        const char* name;
        std::vector<std::string> deliveries;
        Lines expected; // after the last delivery, before any tick
        std::size_t held;
    } cases[] = {
        {"one line", {"abc\r\n"}, {"[상대편] : abc"}, 0},
        {"two lines in one delivery, in order",
         {"ab\r\ncd\r\n"},
         {"[상대편] : ab", "[상대편] : cd"},
         0},
        {"the rest waits", {"ab\r\ncd"}, {"[상대편] : ab"}, 2},
        {"CR and LF split", {"abc\r", "\nx"}, {"[상대편] : abc"}, 1},
        {"a lone CR is text", {"a\rb", "\r\n"}, {"[상대편] : a\rb"}, 0},
        {"empty lines add nothing", {"\r\n\r\n"}, {}, 0},
        {"up to the first NUL", {std::string("ab\0cd\r\n", 7)}, {"[상대편] : ab"}, 0},
        {"CP949 becomes UTF-8", {"\xC7\xD1\xB1\xDB\r\n"}, {"[상대편] : 한글"}, 0},
    };
    for (const Case& c : cases) {
        CChatLineBuffer buffer;
        Lines last;
        for (const std::string& d : c.deliveries)
            last = Feed(buffer, d);
        EXPECT_EQ(last, c.expected) << c.name;
        EXPECT_EQ(buffer.GetHeldBytes(), c.held) << c.name;
    }
}

TEST(ChatLineBuffer, SilenceShowsAnUnendedLineOnTheSeventhTick) {
    CChatLineBuffer buffer;
    EXPECT_TRUE(Feed(buffer, "ab").empty());
    EXPECT_TRUE(Ticks(buffer, 4).empty());
    // A delivery restarts the count.
    EXPECT_TRUE(Feed(buffer, "c").empty());
    EXPECT_TRUE(Ticks(buffer, 6).empty());
    EXPECT_EQ(Ticks(buffer, 1), Lines{"[상대편] : abc"});
    EXPECT_EQ(buffer.GetHeldBytes(), 0u);
    EXPECT_TRUE(Ticks(buffer, 20).empty());
}

TEST(ChatLineBuffer, LongLinesAreShownWhole) {
    CChatLineBuffer buffer;
    std::string line(10000, 'x');
    line[5000] = 'y';
    EXPECT_TRUE(Feed(buffer, line.substr(0, 4000)).empty());
    EXPECT_TRUE(Feed(buffer, line.substr(4000) + "\r").empty());
    EXPECT_EQ(Feed(buffer, "\n"), Lines{"[상대편] : " + line});

    // A peer that never ends its line is shown in pieces, none lost.
    std::string endless(CChatLineBuffer::kMaxHeld, 'z');
    const Lines flushed = Feed(buffer, endless);
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_EQ(flushed[0].size(), std::string("[상대편] : ").size() + endless.size());

    // The piece ends at a character: neither a two-byte character nor a
    // CR LF is cut in two.
    const std::string ga = "\xB0\xA1"; // 가
    std::string korean = "x";
    std::string shown = "x";
    while (korean.size() + 2 < CChatLineBuffer::kMaxHeld) {
        korean += ga;
        shown += "가";
    }
    // (Compared with == so that a failure does not print a megabyte.)
    EXPECT_TRUE(Feed(buffer, korean + ga.substr(0, 1)) == Lines{"[상대편] : " + shown});
    EXPECT_EQ(Feed(buffer, ga.substr(1) + "\r\n"), Lines{"[상대편] : 가"});
    EXPECT_TRUE(Feed(buffer, std::string(CChatLineBuffer::kMaxHeld - 1, 'z') + "\r") ==
                Lines{"[상대편] : " + std::string(CChatLineBuffer::kMaxHeld - 1, 'z')});
    EXPECT_EQ(Feed(buffer, "\nA\r\n"), Lines{"[상대편] : A"});
}

TEST(ChatLineBuffer, SentTextGoesAsCp949WithCrLf) {
    EXPECT_EQ(CChatLineBuffer::WireBytes("안녕 hi"), "\xBE\xC8\xB3\xE7 hi\r\n");
    EXPECT_EQ(CChatLineBuffer::OwnLine("안녕"), "[나....] : 안녕");
}

} // namespace
