#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstdint>
#include <string>
#include <vector>

// A PLC-5 on a DF1 full-duplex link: it answers a frame with a good BCC with
// DLE ACK and one with a bad BCC with DLE NAK, serves word-range reads
// (function 0x01) and writes (0x00) of command 0x0F on ASCII logical
// addresses ("$N7:0") from its data files, and sends its reply frame again
// on DLE NAK or DLE ENQ. Data files hold 1000 elements (0-999); a request
// that names another address, a bad count or another command gets a reply
// with an error status. Words travel high byte first, as the engine sends
// and reads them.
class CAbSimStation : public CPlcSimStation {
public:
    // Station 1 unless set; requests for another node are not answered.
    static constexpr int kDefaultStation = 1;
    static constexpr int kElements = 1000;
    static constexpr int kMaxCount = 122;
    // Status codes of a refused request: a command or format this station
    // does not do, and "see the extended status" (address or size wrong).
    static constexpr std::uint8_t STS_BAD_COMMAND = 0x10;
    static constexpr std::uint8_t STS_EXTENDED = 0xF0;
    static constexpr std::uint8_t EXT_BAD_ADDRESS = 0x06;
    static constexpr std::uint8_t EXT_BAD_SIZE = 0x07;

    bool SetStation(long long station, std::string& error) override;
    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;
    void OnTimer() override;

    // "N7" from "N7" (one or two capital letters and a file number); false
    // for anything else.
    static bool IsFileName(const std::string& name);

private:
    enum RxState { RX_IDLE, RX_DLE, RX_FRAME, RX_FRAME_DLE, RX_BCC };
    // The most a request body holds: a write of 122 words and a long address.
    static constexpr std::size_t kBodyMax = 300;
    // Ticks of silence after which a frame cut short is dropped.
    static constexpr int kStaleTicks = 20;

    void Take(std::uint8_t b);
    void OnFrame();
    // The reply body for a request body that passed its BCC.
    std::vector<std::uint8_t> Serve(const std::vector<std::uint8_t>& request);
    void SendReply();
    void SendControl(std::uint8_t code);

    int m_nStation = kDefaultStation;
    RxState m_state = RX_IDLE;
    std::vector<std::uint8_t> m_body;
    unsigned m_nSum = 0;
    bool m_bOverflow = false;
    int m_nQuietTicks = 0;
    std::vector<std::uint8_t> m_lastReply; // body of the reply sent last
    std::uint8_t m_lastAnswer = 0x06;
};
