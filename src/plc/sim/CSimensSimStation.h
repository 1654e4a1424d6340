#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstdint>
#include <vector>

// The partner of a 3964R link with RK512 telegrams, as a PLC's
// communication processor is: it answers STX with DLE, takes a fetch ("E")
// or send ("A") telegram for a data block, acknowledges it with DLE (NAK
// when the block check, the framing or the length is wrong), then sends its
// reaction telegram 00 00 00 ERR (and a fetch's words) in a block of its
// own: STX, the partner's DLE, the telegram with doubled DLEs, DLE ETX and
// the XOR block check, the partner's DLE. A NAK to its STX or telegram has
// it repeat the block from STX, a few times.
//
// Data blocks DB0-DB255 of 2048 words each, sparse ("--set DB5:0=1"); every
// word a send telegram stores is reported as ("DB5", DW, value). A telegram
// the station cannot serve is answered with a non-zero error number.
//
// Within a block a character waits at most a few ticks for the next one
// (the procedure's character delay; the first one after our DLE gets as
// long as an acknowledgement); a block that stops, or grows past the
// largest telegram, is refused with NAK and forgotten.
class CSimensSimStation : public CPlcSimStation {
public:
    static constexpr std::uint8_t STX = 0x02;
    static constexpr std::uint8_t ETX = 0x03;
    static constexpr std::uint8_t DLE = 0x10;
    static constexpr std::uint8_t NAK = 0x15;

    static constexpr int kMaxBlock = 255;
    static constexpr int kDbWords = 2048;
    static constexpr int kMaxWords = 64; // 128 data bytes a telegram
    static constexpr int kHeaderSize = 10;
    static constexpr int kMaxTelegram = kHeaderSize + 2 * kMaxWords;
    static constexpr int kCharTicks = 3;  // character delay, in ticks
    static constexpr int kAckTicks = 20;  // waiting for the partner's DLE
    static constexpr int kMaxRepeats = 5; // of a block the partner refused

    // Error numbers of the reaction telegram.
    static constexpr std::uint8_t ERR_NONE = 0x00;
    static constexpr std::uint8_t ERR_TYPE = 0x0A;   // not a data block
    static constexpr std::uint8_t ERR_HEADER = 0x10; // not a fetch or send header
    static constexpr std::uint8_t ERR_LENGTH = 0x32; // count and data disagree

    enum State {
        ST_IDLE,         // waiting for STX
        ST_RECEIVE,      // in a telegram
        ST_RECEIVE_DLE,  // in a telegram, after a DLE
        ST_CHECK,        // after DLE ETX: the block check comes
        ST_WAIT_ACK_STX, // our STX is out
        ST_WAIT_ACK_END, // our reaction telegram is out
    };

    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;
    void OnTimer() override;

    State GetState() const { return m_state; }

private:
    void OnByte(std::uint8_t b);
    // Turns the checked telegram into its reaction (and stores a send's
    // words); false when the drop rule leaves it unanswered.
    bool Serve();
    void SendReactionStx();
    void Refuse(); // NAK, and back to waiting for STX

    State m_state = ST_IDLE;
    int m_nTicks = 0;
    std::vector<std::uint8_t> m_telegram; // doubled DLEs taken once
    std::uint8_t m_nCheck = 0;            // XOR of the block as it came
    bool m_bTooLong = false;
    std::vector<std::uint8_t> m_reaction; // framed, as sent
    int m_nRepeats = 0;
};
