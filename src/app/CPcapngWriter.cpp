#include "app/CPcapngWriter.h"

#include "app/CSafeFile.h"
#include "app/CTessaryDoc.h"

#include <utility>

namespace {

constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kEnhancedPacket = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kOptEnd = 0;
constexpr std::uint16_t kOptShbUserAppl = 4;
constexpr std::uint16_t kOptEpbFlags = 2;
constexpr std::uint16_t kPduTagEnd = 0;
constexpr std::uint16_t kPduTagProtoName = 12;
constexpr const char* kApplication = "Quillet";

// pcapng blocks are in the byte order the magic number shows: we write
// little-endian everywhere, whatever the machine.
void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}
// The exported-PDU tags are big-endian, as Wireshark writes them.
void Put16Be(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xFF));
}
void PadTo4(std::string& out, std::size_t from) {
    while ((out.size() - from) % 4 != 0)
        out.push_back('\0');
}
std::size_t Padded(std::size_t n) {
    return (n + 3) / 4 * 4;
}

// Starts a block at the end of `out`; FinishBlock fills in its length.
std::size_t BeginBlock(std::string& out, std::uint32_t type) {
    const std::size_t at = out.size();
    Put32(out, type);
    Put32(out, 0);
    return at;
}
void FinishBlock(std::string& out, std::size_t at) {
    PadTo4(out, at);
    const auto length = static_cast<std::uint32_t>(out.size() - at + 4);
    Put32(out, length);
    for (std::size_t i = 0; i < 4; ++i)
        out[at + 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

void PutOption(std::string& out, std::uint16_t code, const std::string& value) {
    Put16(out, code);
    Put16(out, static_cast<std::uint16_t>(value.size()));
    const std::size_t at = out.size();
    out += value;
    PadTo4(out, at);
}
void PutEnd(std::string& out) {
    Put16(out, kOptEnd);
    Put16(out, 0);
}

} // namespace

std::vector<std::pair<std::size_t, std::size_t>>
CPcapngWriter::SplitRtuFrames(const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::pair<std::size_t, std::size_t>> frames;
    std::size_t at = 0;
    while (at < count) {
        bool couldGrow = false;
        const std::size_t n = CRtuFramer::FrameAt(bytes + at, count - at, couldGrow);
        if (n == 0)
            return {{0, count}};
        frames.emplace_back(at, n);
        at += n;
    }
    if (frames.empty())
        frames.emplace_back(0, count);
    return frames;
}

CPcapngWriter::CPcapngWriter(std::string dissector) : m_strDissector(std::move(dissector)) {
    if (m_strDissector == kModbusRtuDissector)
        m_bFrames = true;
    // The name is NUL-padded to four bytes and the tag's length counts the
    // padding: Wireshark reads the value as a padded string.
    const std::size_t room = Padded(m_strDissector.size() + 1);
    Put16Be(m_pduTags, kPduTagProtoName);
    Put16Be(m_pduTags, static_cast<std::uint16_t>(room));
    m_pduTags += m_strDissector;
    m_pduTags.append(room - m_strDissector.size(), '\0');
    Put16Be(m_pduTags, kPduTagEnd);
    Put16Be(m_pduTags, 0);
}

std::string CPcapngWriter::Header() const {
    std::string out;
    std::size_t at = BeginBlock(out, kSectionHeader);
    Put32(out, kByteOrderMagic);
    Put16(out, 1); // version 1.0
    Put16(out, 0);
    Put32(out, 0xFFFFFFFF); // section length unknown: written as it grows
    Put32(out, 0xFFFFFFFF);
    PutOption(out, kOptShbUserAppl, kApplication);
    PutEnd(out);
    FinishBlock(out, at);

    at = BeginBlock(out, kInterfaceDescription);
    Put16(out, GetLinkType());
    Put16(out, 0);
    Put32(out, 0); // no snapshot limit
    // No if_tsresol option: the default resolution is the microsecond.
    FinishBlock(out, at);
    return out;
}

void CPcapngWriter::AppendPacket(const TrafficRecord& record, std::string& out) {
    std::int64_t time = record.m_nTimeUs;
    if (time == 0) {
        time = m_bAny ? m_nLastTimeUs + kUntimedStepUs : 0;
        ++m_nUntimed;
    }
    m_bAny = true;
    m_nLastTimeUs = time;
    const auto* bytes = record.m_pData;
    const auto count = static_cast<std::size_t>(record.m_nLength);
    if (m_bFrames) {
        // The dissector reads one frame per packet: frames that came in
        // pieces are joined, frames that came together are parted.
        m_framer.Add(record.m_nDirection, bytes, count, time, Sink(out));
    } else {
        AppendBlock(time, record.m_nDirection, bytes, count, out);
    }
}

CRtuFramer::Sink CPcapngWriter::Sink(std::string& out) {
    return [this, &out](int direction, std::int64_t time, const std::uint8_t* bytes,
                        std::size_t count) { AppendBlock(time, direction, bytes, count, out); };
}

bool CPcapngWriter::HasPending() const {
    return m_bFrames && m_framer.HasPending();
}

void CPcapngWriter::Flush(std::string& out) {
    if (m_bFrames)
        m_framer.Flush(Sink(out));
}

void CPcapngWriter::FlushIfQuiet(std::int64_t nowUs, std::int64_t quietUs, std::string& out) {
    if (HasPending() && nowUs - m_framer.GetPendingTimeUs() >= quietUs)
        Flush(out);
}

void CPcapngWriter::AppendBlock(std::int64_t time, int direction, const std::uint8_t* bytes,
                                std::size_t count, std::string& out) {
    ++m_nPackets;
    const auto stamp = static_cast<std::uint64_t>(time);
    const auto length = static_cast<std::uint32_t>(m_pduTags.size() + count);

    const std::size_t at = BeginBlock(out, kEnhancedPacket);
    Put32(out, 0); // the one interface
    Put32(out, static_cast<std::uint32_t>(stamp >> 32));
    Put32(out, static_cast<std::uint32_t>(stamp & 0xFFFFFFFF));
    Put32(out, length); // captured
    Put32(out, length); // on the wire
    const std::size_t data = out.size();
    out += m_pduTags;
    if (count > 0)
        out.append(reinterpret_cast<const char*>(bytes), count);
    PadTo4(out, data);
    Put16(out, kOptEpbFlags);
    Put16(out, 4);
    Put32(out, direction == TRAFFIC_TX ? 2U : 1U);
    PutEnd(out);
    FinishBlock(out, at);
}

bool CPcapngWriter::Export(const CTessaryDoc& doc, const std::filesystem::path& path,
                           CPcapngWriter writer, std::size_t& untimed, std::size_t& packets,
                           std::string& error) {
    CSafeFile file;
    if (!file.Open(path)) {
        error = "pcapng 파일을 만들 수 없습니다: " + CSafeFile::Text(path) + " (" +
                file.GetReason() + ")";
        return false;
    }
    // Written in pieces of about a megabyte: a long capture never needs its
    // whole file in memory.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    std::string buffer = writer.Header();
    bool ok = true;
    for (std::size_t i = 0; ok && i < doc.GetCount(); ++i) {
        writer.AppendPacket(doc.GetRecord(i), buffer);
        if (buffer.size() >= kPiece) {
            ok = file.Write(buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    if (ok)
        writer.Flush(buffer); // the frame the capture ends in, whole or not
    if (!ok || !file.Write(buffer.data(), buffer.size()) || !file.Commit()) {
        error = "pcapng 파일을 쓸 수 없습니다: " + CSafeFile::Text(path);
        if (!file.GetReason().empty())
            error += " (" + file.GetReason() + ")";
        return false;
    }
    untimed = writer.GetUntimed();
    packets = writer.GetPackets();
    return true;
}

std::string CPcapngWriter::UntimedNote(std::size_t untimed, std::size_t count) {
    if (untimed == 0)
        return {};
    if (untimed == count)
        return "시각이 없는 캡처입니다 (.ALR 파일은 시각을 저장하지 않습니다): " +
               std::to_string(count) + "개 블록에 1 ms 간격의 시각을 붙였습니다.";
    return std::to_string(untimed) +
           "개 블록에 시각이 없어 앞 블록에서 1 ms 뒤의 시각을 붙였습니다.";
}
