#pragma once

#include "plc/sim/CPlcSimStation.h"

#include <cstdint>
#include <string>
#include <vector>

// A MASTER-K PLC behind its Cnet link: answers ENQ-led requests for its
// station number with ACK frames, and requests it cannot carry out with a
// NAK and an error code.
//
// Commands: continuous read and write of words ("rSB", "wSB") and individual
// write of up to 16 variables ("wSS", bits or words). A lower-case command
// carries a BCC, and so does its answer; an upper-case one carries none.
//
// Memory: the devices P M K L F T C D S, words 0-9999 each; a bit is bit
// b of word w, named "%MX" + w in decimal + b in hex. The command line names
// a word as the device ("D:100") or with W ("MW:3"), a bit with its bit
// number w * 16 + b as the device ("M:50") or with X ("DX:1601"): P M K L F
// are bit devices, T C D S word devices.
class CMasterKSimStation : public CPlcSimStation {
public:
    static constexpr std::uint8_t ENQ = 0x05;
    static constexpr std::uint8_t EOT = 0x04;
    static constexpr std::uint8_t ACK = 0x06;
    static constexpr std::uint8_t NAK = 0x15;
    static constexpr std::uint8_t ETX = 0x03;

    // NAK error codes.
    enum Error {
        ERR_BLOCKS = 0x0003,      // block count 0 or over 16
        ERR_NAME_LENGTH = 0x0004, // variable name longer than 16 or too short
        ERR_DATA_TYPE = 0x0007,   // size letter other than X or W (or W in a bit command)
        ERR_FRAME = 0x0011,       // BCC wrong, characters that are no hex digits, unknown command
        ERR_DEVICE = 0x1132,      // no such device
        ERR_SIZE = 0x1232,        // word count 0 or over 60
        ERR_EXTRA = 0x1234,       // characters left over after the request
        ERR_AREA = 0x7132,        // address past the device
    };
    static constexpr int kMaxStation = 31;
    static constexpr int kMaxWords = 60;
    static constexpr int kMaxBlocks = 16;
    static constexpr long long kMaxWordAddress = 9999;
    static constexpr std::size_t kMaxRequest = 512;
    // A partial request left this many ticks without a byte is dropped.
    static constexpr int kStaleTicks = 20;

    CMasterKSimStation() = default;

    bool SetStation(long long station, std::string& error) override;
    bool Preset(const std::string& device, long long address, long long value,
                std::string& error) override;
    void OnReceive(const std::uint8_t* data, int length) override;
    void OnTimer() override;

    int GetStation() const { return m_nStation; }

private:
    struct SVariable {
        char m_cDevice = 0;
        bool m_bBit = false;
        long long m_nWord = 0;
        int m_nBit = 0;
    };
    struct SWrite {
        SVariable m_var;
        unsigned m_nValue = 0;
    };

    void OnFrame();
    // Decodes and carries out one request; the body of the ACK, or false
    // with the NAK's error code.
    bool Execute(char command, const std::string& type, const std::string& body, std::string& reply,
                 int& error);
    bool ReadWords(const std::string& body, std::string& reply, int& error);
    bool WriteWords(const std::string& body, int& error);
    bool WriteSingles(const std::string& body, int& error);
    static bool ParseVariable(const std::string& text, SVariable& var, int& error);
    void Apply(const SWrite& write);
    void Store(const SWrite& write);
    void Answer(std::uint8_t lead, char command, const std::string& type, const std::string& body,
                bool withBcc);

    int m_nStation = 1;
    std::vector<std::uint8_t> m_buffer;
    int m_nIdleTicks = 0;
};
