#include "app/CPcapngReader.h"

#include "app/CPcapngWriter.h"
#include "app/CSafeFile.h"
#include "app/CTessaryDoc.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kEnhancedPacket = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kOptEpbFlags = 2;
constexpr std::uint16_t kOptIfTsresol = 9;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint16_t Be16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

// Finds option `code` in the options between `from` and `end`; its value's
// offset and length.
bool FindOption(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t end,
                std::uint16_t code, std::size_t& at, std::size_t& length) {
    while (from + 4 <= end) {
        const std::uint16_t c = Le16(b, from);
        const std::uint16_t n = Le16(b, from + 2);
        if (c == 0 || from + 4 + n > end)
            return false;
        if (c == code) {
            at = from + 4;
            length = n;
            return true;
        }
        from += 4 + (static_cast<std::size_t>(n) + 3) / 4 * 4;
    }
    return false;
}

// The offset of the packet's own bytes after its exported-PDU tags.
bool SkipPduTags(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t end,
                 std::size_t& data) {
    while (from + 4 <= end) {
        const std::uint16_t tag = Be16(b, from);
        const std::size_t n = Be16(b, from + 2);
        from += 4;
        if (tag == 0) {
            data = from;
            return true;
        }
        if (from + n > end)
            return false;
        from += n;
    }
    return false;
}

} // namespace

bool CPcapngReader::IsPcapngPath(const std::string& path) {
    const std::string ext = ".pcapng";
    return path.size() >= ext.size() &&
           std::equal(
               ext.begin(), ext.end(), path.end() - static_cast<std::ptrdiff_t>(ext.size()),
               [](char a, char c) { return a == std::tolower(static_cast<unsigned char>(c)); });
}

bool CPcapngReader::Load(CTessaryDoc& doc, const std::filesystem::path& path, std::string& error) {
    const std::string name = CSafeFile::Text(path);
    std::error_code code;
    const auto type = std::filesystem::status(path, code).type();
    const std::string notAFile = CSafeFile::NotAFileKind(type);
    if (!code && !notAFile.empty()) {
        error = "pcapng 파일을 읽을 수 없습니다: " + name + " (" + notAFile + ")";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "pcapng 파일을 열 수 없습니다: " + name;
        return false;
    }
    const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "pcapng 파일을 읽을 수 없습니다: " + name;
        return false;
    }
    return Load(doc, b.data(), b.size(), name, error);
}

bool CPcapngReader::Load(CTessaryDoc& doc, const std::uint8_t* input, std::size_t size,
                         const std::string& name, std::string& error) {
    const std::vector<std::uint8_t> b(input, input + size);
    doc.Clear();
    const auto fail = [&](std::size_t block, std::size_t at, const std::string& what) {
        error = "pcapng 파일이 블록 " + std::to_string(block) + " (파일 위치 " +
                std::to_string(at) + ")에서 잘못되었습니다: " + what + " (" + name + ")";
        return false;
    };
    if (b.size() < 12 || Le32(b, 0) != kSectionHeader || Le32(b, 8) != kByteOrderMagic)
        return fail(1, 0, "pcapng 파일이 아니거나 little-endian이 아닙니다");

    bool upperPdu = false;
    bool microseconds = true;
    bool interface = false;
    std::size_t at = 0;
    for (std::size_t block = 1; at < b.size(); ++block) {
        if (at + 12 > b.size())
            return fail(block, at, "블록이 중간에 끝났습니다");
        const std::uint32_t kind = Le32(b, at);
        const std::uint32_t length = Le32(b, at + 4);
        if (length < 12 || length % 4 != 0 || length > b.size() - at ||
            Le32(b, at + length - 4) != length)
            return fail(block, at, "블록 길이 " + std::to_string(length));
        const std::size_t body = at + 8;
        const std::size_t end = at + length - 4;
        if (kind == kSectionHeader) {
            if (block != 1)
                return fail(block, at, "섹션이 둘 이상입니다");
        } else if (kind == kInterfaceDescription) {
            if (interface || end - body < 8)
                return fail(block, at, "인터페이스는 하나만 읽습니다");
            interface = true;
            const std::uint16_t link = Le16(b, body);
            upperPdu = link == CPcapngWriter::LINKTYPE_UPPER_PDU;
            std::size_t opt = 0, n = 0;
            if (FindOption(b, body + 8, end, kOptIfTsresol, opt, n) && n >= 1)
                microseconds = b[opt] == 6;
            if (!microseconds)
                return fail(block, at, "마이크로초 시각만 읽습니다");
        } else if (kind == kEnhancedPacket) {
            if (!interface || end - body < 20)
                return fail(block, at, "패킷 블록이 잘못되었습니다");
            const std::uint64_t stamp =
                static_cast<std::uint64_t>(Le32(b, body + 4)) << 32 | Le32(b, body + 8);
            const std::size_t captured = Le32(b, body + 12);
            const std::size_t data = body + 20;
            if (captured > end - data)
                return fail(block, at, "패킷 길이 " + std::to_string(captured));
            const std::size_t options = data + (captured + 3) / 4 * 4;
            std::size_t bytes = data;
            if (upperPdu && !SkipPduTags(b, data, data + captured, bytes))
                return fail(block, at, "exported-PDU 태그가 잘못되었습니다");
            const std::size_t count = data + captured - bytes;
            if (count > static_cast<std::size_t>(TRAFFIC_MAX_LENGTH))
                return fail(block, at, "블록이 4096 바이트보다 깁니다");
            int direction = TRAFFIC_RX;
            std::size_t opt = 0, n = 0;
            if (FindOption(b, std::min(options, end), end, kOptEpbFlags, opt, n) && n == 4 &&
                (Le32(b, opt) & 3) == 2)
                direction = TRAFFIC_TX;
            doc.AddRecord(direction, b.data() + bytes, static_cast<int>(count),
                          static_cast<std::int64_t>(stamp));
        }
        // Other blocks (name resolution, statistics) carry nothing we keep.
        at += length;
    }
    return true;
}
