#pragma once

#include "plc/CPlcEngine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// MASTER-K over its Cnet computer link: ASCII requests ENQ ... EOT BCC with
// the commands "rSB" (continuous read), "wSB" (continuous word write) and
// "wSS" (individual write, one bit here); replies ACK ... ETX BCC or
// NAK ... ETX BCC. Received blocks go byte by byte through a reply state
// machine that keeps the frame across blocks.
//
// Rows hold what a Cnet frame carries: stations 0-31, the devices
// P M K L F T C D S, word addresses 0-9999, up to 60 words a frame, one bit a
// bit write. A reply must come from the request's station with its command,
// state the asked-for block and word counts, carry exactly those data and
// pass its BCC; a NAK from that station for that command is the PLC
// refusing the request. An ENQ-led frame (the echo of the request on a line
// that echoes, or another master's request) is skipped, not taken as the
// reply.
class CMasterKEngine : public CPlcEngine {
public:
    static constexpr std::uint8_t ENQ = 0x05;
    static constexpr std::uint8_t EOT = 0x04;
    static constexpr std::uint8_t ACK = 0x06;
    static constexpr std::uint8_t NAK = 0x15;
    static constexpr std::uint8_t ETX = 0x03;

    static constexpr int kMaxStation = 31;
    static constexpr int kMaxWords = 60;
    // The most bits a read can ask for: from a word's first bit, in 60
    // words (the word count takes one word more than the bits fill).
    static constexpr int kMaxBitReadCount = kMaxWords * 16 - 1;
    static constexpr int kMaxAddress = 9999;
    static constexpr const char* kDevices = "PMKLFTCDS";

    // The reply state machine's states.
    enum ReplyState {
        STATE_DONE = 0,  // nothing expected
        STATE_START = 1, // waiting for ACK, NAK or ENQ
        STATE_FRAME = 3, // collecting an ACK (or ENQ) frame
        STATE_BCC1 = 4,  // its two BCC characters
        STATE_BCC2 = 5,
        STATE_NAK = 10, // collecting a NAK frame
        STATE_NAK_BCC1 = 14,
        STATE_NAK_BCC2 = 15,
    };

    explicit CMasterKEngine(ILinkHub& hub);

    // The frame of one row, taking write values from memory (zeros without
    // one); what BuildRequest sends. Length 0 when it would not fit.
    static int EncodeRequest(const PlcRequestRow& row, const MemoryTable* memory,
                             std::uint8_t* buffer, int capacity);
    // The words a bit read asks for: enough to reach the last bit from the
    // start of the first word, and one more.
    static int BitReadWords(const PlcRequestRow& row);
    // The byte sum modulo 256.
    static std::uint8_t Bcc(const std::uint8_t* bytes, std::size_t count);

    int GetReplyState() const { return m_nState; }
    std::size_t GetReplyFrameSize() const { return m_frame.size(); }

protected:
    void SendNextRequest() override;
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    // One received byte; a ReplyResult once a frame ends the exchange.
    int Feed(std::uint8_t byte);
    int JudgeAck() const;
    int JudgeNak() const;
    void StoreRead();

    int m_nState = STATE_DONE;
    bool m_bRequestFrame = false; // the frame being collected began with ENQ
    std::size_t m_nSkipped = 0;   // bytes before a frame start, this exchange
    std::vector<std::uint8_t> m_frame;
};
