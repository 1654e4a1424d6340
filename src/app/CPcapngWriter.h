#pragma once

#include "app/CRtuFramer.h"
#include "app/TrafficRecord.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class CTessaryDoc;

// Writes a capture as a pcapng file that Wireshark and tshark open: one
// section header, one interface of the chosen link type (microsecond
// times), then an enhanced packet block per record with its time and its
// direction in the packet flags (inbound 1, outbound 2). Blocks are built
// one at a time, so a live capture can write each record as it arrives.
//
// With LINKTYPE_UPPER_PDU every packet starts with the exported-PDU tags
// naming the Wireshark dissector that decodes it (Modbus RTU for MEMOBUS
// in RTU framing), so the frames show as Modbus requests and replies. For
// Modbus RTU the records are cut into frames first (CRtuFramer): a frame
// that came in pieces becomes one packet with the time of the record where
// it began, and a record of several frames a packet each.
class CPcapngWriter {
public:
    static constexpr std::uint16_t LINKTYPE_USER0 = 147;
    static constexpr std::uint16_t LINKTYPE_UPPER_PDU = 252;
    static constexpr const char* kModbusRtuDissector = "mbrtu";
    // A record without a time comes this long after the one before it.
    static constexpr std::int64_t kUntimedStepUs = 1000;

    // The default: the user link type, the bytes as they are.
    CPcapngWriter() = default;
    // The exported-PDU link type, each packet handed to `dissector`.
    explicit CPcapngWriter(std::string dissector);
    // For `--as modbus-rtu` and the Yaskawa screen in RTU mode.
    static CPcapngWriter ModbusRtu() { return CPcapngWriter(kModbusRtuDissector); }

    std::uint16_t GetLinkType() const {
        return m_strDissector.empty() ? LINKTYPE_USER0 : LINKTYPE_UPPER_PDU;
    }

    // The section header and interface description: the start of the file.
    std::string Header() const;
    // The block of one record, appended to `out`. A record without a time
    // (0: loaded from an .ALR file) is given the time of the block before it
    // plus kUntimedStepUs, the first one 0.
    void AppendPacket(const TrafficRecord& record, std::string& out);
    // With Modbus RTU the end of a frame may still be awaited: Flush writes
    // what waits as it is, FlushIfQuiet when nothing came for `quietUs`
    // before `nowUs` (the times of the records).
    bool HasPending() const;
    void Flush(std::string& out);
    void FlushIfQuiet(std::int64_t nowUs, std::int64_t quietUs, std::string& out);
    // Records written so far that had no time of their own.
    std::size_t GetUntimed() const { return m_nUntimed; }
    // Packets written so far: a record of several Modbus RTU frames gives
    // a packet per frame.
    std::size_t GetPackets() const { return m_nPackets; }

    // The frames of a block of Modbus RTU bytes as (offset, length): more
    // than one when the block is a row of whole frames each confirmed by its
    // CRC, else the block whole.
    static std::vector<std::pair<std::size_t, std::size_t>>
    SplitRtuFrames(const std::uint8_t* bytes, std::size_t count);

    // Writes the whole document (what waits at its end included) to `path` through a temporary file
    // renamed over it, so a failed export leaves no half file under the name. `untimed` tells how
    // many records had no time, `packets` how many packets were written.
    static bool Export(const CTessaryDoc& doc, const std::filesystem::path& path,
                       CPcapngWriter writer, std::size_t& untimed, std::size_t& packets,
                       std::string& error);

    // The message for a capture whose records had no times, empty when all
    // had one.
    static std::string UntimedNote(std::size_t untimed, std::size_t count);

private:
    void AppendBlock(std::int64_t time, int direction, const std::uint8_t* bytes, std::size_t count,
                     std::string& out);
    CRtuFramer::Sink Sink(std::string& out);

    std::string m_strDissector;
    CRtuFramer m_framer;
    bool m_bFrames = false; // Modbus RTU: packets are frames
    std::string m_pduTags;  // the exported-PDU tags every packet starts with
    std::int64_t m_nLastTimeUs = 0;
    std::size_t m_nUntimed = 0;
    std::size_t m_nPackets = 0;
    bool m_bAny = false;
};
