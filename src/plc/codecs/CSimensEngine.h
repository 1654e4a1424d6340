#pragma once

#include "plc/CPlcEngine.h"

#include <cstdint>
#include <vector>

// Siemens 3964R with RK512 telegrams addressed by data block (DB) and data
// word (DW). One exchange: STX out, the PLC's DLE, the row's fetch ("E") or
// send ("A") telegram with DLE doubling, DLE ETX and an XOR block check, the
// PLC's DLE; then the PLC's STX, our DLE, its reaction telegram, our DLE.
//
// There is no receive buffer: every block runs byte by byte through the
// exchange automaton, whose state lives as long as the engine (Stop and
// Start leave it where it is, so a half-done exchange is not cut into; the
// time-out brings it back). The row is taken when the PLC accepts the STX.
//
// Rows hold what one RK512 telegram carries: DB and DW 0-255, at most 64
// words (128 data bytes; longer transfers would need continuation telegrams)
// or 1000 bits, the device type "WORD" or "BIT". A reaction telegram counts
// only with a right block check and exactly the length the request asks for;
// a non-zero error number in it is the PLC's refusal. Either way the engine
// answers DLE, as the procedure ends with it, and goes on at once.
class CSimensEngine : public CPlcEngine {
public:
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;
    static constexpr std::uint8_t DLE = 0x10;

    enum Rk512State {
        S_IDLE = 0,
        S_STX_SENT = 1,
        S_BUILDING = 2,
        S_TELEGRAM_SENT = 3,
        S_WAIT_STX = 4,
        S_STX_RECEIVED = 5,
        S_IN_TELEGRAM = 6,
        S_TELEGRAM_DLE = 7,
        S_BCC = 8,
        S_FINISHING = 9,
    };

    static constexpr int kTimeoutMs = 2000;
    static constexpr int kMaxWords = 64;    // data words of one telegram
    static constexpr int kMaxBits = 1024;   // the bits those words hold
    static constexpr int kMaxAddress = 255; // DB and DW go as one byte each
    static constexpr int kHeaderSize = 10;
    static constexpr int kReactionHeader = 4;

    explicit CSimensEngine(ILinkHub& hub);

    // The framed telegram of one row (doubled DLEs, DLE ETX, block check),
    // taking send data from memory (zeros without one). Length 0 for a row
    // that is neither a fetch nor a send, or that would not fit.
    static int EncodeTelegram(const PlcRequestRow& row, const MemoryTable* memory,
                              std::uint8_t* buffer, int capacity);
    // The exclusive-or of the bytes.
    static std::uint8_t BlockCheck(const std::uint8_t* bytes, int count);
    // The data words a row's telegram names: its count, or for bits the
    // words that hold them.
    static int WordCount(const PlcRequestRow& row);

    Rk512State GetState() const { return m_state; }
    void OnTimer(int id) override;

protected:
    void SendNextRequest() override;
    int BuildRequest(std::uint8_t* buffer, int& length) override;
    // Runs the block in the receive buffer through the automaton and empties
    // it; a ReplyResult once a reaction telegram is finished.
    int ParseResponse() override;
    SLimit FieldLimit(const PlcRequestRow& row, const std::string& key) const override;
    std::string CheckCodecRow(const PlcRequestRow& row) const override;

private:
    void SendStx();
    void SendTelegram();
    void SendDle();
    // What the finished reaction telegram means for the current row.
    int Judge(std::uint8_t received);

    Rk512State m_state = S_IDLE;
    std::size_t m_nStalled = 0; // bytes since the exchange last moved on
    // The reaction telegram with doubled DLEs taken once, without DLE ETX;
    // never longer than a good one can be.
    std::vector<std::uint8_t> m_frame;
    std::uint8_t m_nCheck = 0; // XOR of the reaction's bytes as they came
    bool m_bSpoilt = false;    // too long, or a DLE before anything but DLE/ETX
};
