#pragma once

#include "plc/CPlcEngine.h"

#include <cstdint>
#include <vector>

// Allen-Bradley DF1 full duplex: PLC-5 word-range reads (function 0x01) and
// writes (0x00) of command 0x0F with an ASCII logical address such as
// "$N7:0", framed DLE STX ... DLE ETX BCC with DLE doubling. There is no
// receive buffer: every block goes byte by byte through a link responder
// and a reply parser whose states carry over from one block to the next.
//
// The exchange of one row: the request goes out; DLE ACK from the PLC, then
// its reply frame, answered with one DLE ACK (good BCC) or DLE NAK (bad
// BCC, the PLC sends it again). DLE NAK, or anything but ACK behind a DLE,
// in answer to the request, and DLE ENQ where the reply is awaited, send the
// request again with a new transaction number, at most three times.
//
// The exchange ends, and the next row goes out at the end of the block, only
// when the reply has come and been judged, or the repeats are used up; a
// repeat waits for its own answer or the time-out, so no two requests are
// ever out at once. A checked frame carrying an earlier transaction number
// (a late reply to a given-up request) is acknowledged and passed over.
class CAbEngine : public CPlcEngine {
public:
    static constexpr std::uint8_t DLE = 0x10;
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;
    static constexpr std::uint8_t ENQ = 0x05;
    static constexpr std::uint8_t ACK = 0x06;
    static constexpr std::uint8_t NAK = 0x15;
    static constexpr std::uint8_t CMD = 0x0F;
    static constexpr std::uint8_t CMD_REPLY = 0x4F;
    static constexpr std::uint8_t FNC_READ = 0x01;
    static constexpr std::uint8_t FNC_WRITE = 0x00;

    // 244 data bytes are what one DF1 packet carries; the size byte of a
    // read could not state more than 255 anyway.
    static constexpr int kMaxCount = 122;
    // Node addresses; 255 is the broadcast, which nobody answers.
    static constexpr int kMaxNode = 254;
    // Element numbers of a data file.
    static constexpr int kMaxElement = 999;
    static constexpr int kRepeatLimit = 3;
    // Bad frames NAKed for one request before it is given up: a line that
    // spoils every frame must not hold the engine in a NAK loop.
    static constexpr int kBadFrameLimit = 3;
    // A reply frame longer than this is no reply to a request of ours.
    static constexpr int kFrameDataMax = 512;
    // Bytes that do not move the exchange on (noise, a frame that never
    // ends) beyond which it ends: every block restarts the time-out.
    static constexpr std::size_t kStalledMax = 4 * kFrameMax;
    // The most a request body may take; a checked row needs under 300.
    static constexpr int kBodyMax = 1024;

    enum Df1RxState {
        DF1_IDLE,       // the request is out, its DLE ACK awaited
        DF1_ACK_DLE,    // DLE seen where the ACK is awaited
        DF1_WAIT_REPLY, // ACKed; the reply frame awaited
        DF1_REPLY_DLE,  // DLE seen where the reply frame is awaited
        DF1_IN_FRAME,
        DF1_FRAME_DLE,
        DF1_BCC,
    };
    enum Df1LinkState { RSP_IDLE, RSP_DLE };

    explicit CAbEngine(ILinkHub& hub);

    // The request body of one row (before framing), write data from memory
    // (zeros without one); empty for a command type that is neither.
    static std::vector<std::uint8_t> BuildBody(const PlcRequestRow& row, unsigned transaction,
                                               const MemoryTable* memory);
    // DLE STX, the body with DLEs doubled, DLE ETX, BCC.
    static std::vector<std::uint8_t> FrameDf1(const std::vector<std::uint8_t>& body);
    // The two's complement of the 8-bit sum.
    static std::uint8_t Df1Bcc(const std::uint8_t* bytes, std::size_t count);

    int OnReceive(const std::uint8_t* data, int length) override;

    unsigned GetTransactionNumber() const { return m_nTransaction; }
    int GetRepeatCount() const { return m_nRepeats; }
    Df1RxState GetRxState() const { return m_rxState; }
    Df1LinkState GetLinkState() const { return m_linkState; }

protected:
    void SendNextRequest() override;
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    // The automata over the block in m_receive; a ReplyResult.
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    void Respond(std::uint8_t b);
    void Parse(std::uint8_t b);
    void RepeatRequest();
    void SendControl(std::uint8_t code);
    // A frame whose BCC matched, against the current request.
    void Judge();

    unsigned m_nTransaction = 0; // counts over the engine's whole life
    unsigned m_nFirstOfRow = 0;  // the transaction number of the row's first send
    int m_nRepeats = 0;
    int m_nBadFrames = 0;
    Df1RxState m_rxState = DF1_IDLE;
    Df1LinkState m_linkState = RSP_IDLE;
    std::uint8_t m_lastAnswer = ACK; // given again on DLE ENQ
    std::vector<std::uint8_t> m_frameData;
    std::uint8_t m_frameSum = 0;
    bool m_bFrameTooLong = false;
    int m_nOutcome = REPLY_WAIT; // how this block ended the exchange, if it did
    std::size_t m_nStalled = 0;  // bytes since the exchange last moved on
};
