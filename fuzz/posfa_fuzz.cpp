// Feeds arbitrary bytes, in arbitrary splits, to the POSFA answer parser in
// both framings, for read and write rows of bits or words at any memory
// index: no word outside the row's own words changes, the result is one of
// the engine's reply results, and a waiting exchange never holds more than
// a frame's room.
#include "CQuietHub.h"
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CPosfaEngine.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CReplyProbe : public CPosfaEngine {
public:
    explicit CReplyProbe(ILinkHub& hub) : CPosfaEngine(hub) {}
    void Set(int mode, bool write, bool bits, int count, int index) {
        m_nMode = mode;
        m_current.m_strCommType = write ? PlcRequestRow::kAutoWrite : PlcRequestRow::kAutoRead;
        m_current.m_strDeviceType = bits ? "BIT" : "WORD";
        m_current.m_strDeviceName = "WX";
        m_current.m_nStationNum = 1;
        m_current.m_nPlcNum = 0;
        m_current.m_nPlcAddress = 0x10;
        m_current.m_nDataCount = count;
        m_current.m_nAnIndex = index;
        m_receive.clear();
    }
    int Add(const std::uint8_t* data, std::size_t size) {
        m_receive.insert(m_receive.end(), data, data + size);
        return ParseResponse();
    }
    std::size_t Held() const { return m_receive.size(); }
};

struct SFixture {
    SFixture() {
        // The engine reads its rows at Start only; the fuzzer's paths are
        // relative to the directory it was started in, so that one is kept.
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_POSFA);
        file.SaveRows(file.CurrentPath(), {{"자동읽기", "1", "0", "WORD", "WX", "16", "1", "0"}});
        const int started = probe.Start(memory, CPosfaEngine::POSFA_RS232C);
        std::filesystem::current_path(home);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        if (started != 1)
            __builtin_trap();
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quillet-posfa-fuzz-" + std::to_string(::getpid()));
    CQuietHub hub;
    CReplyProbe probe{hub};
    MemoryTable memory;
};

std::uint16_t Sentinel(int i) {
    return static_cast<std::uint16_t>(0xA5A5 ^ i);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 4)
        return 0;
    const int mode = data[0] & 1;
    const bool write = (data[0] & 2) != 0;
    const bool bits = (data[0] & 4) != 0;
    // Counts 1..32, enough to meet both ends of the table.
    const int count = ((data[0] >> 3) & 0x1F) + 1;
    // Indexes from -128 to 1151.
    const int index = (data[1] | (data[2] & 0x0F) << 8) - 128;
    const std::size_t piece = data[3] ? data[3] : size;
    for (int i = 0; i < MemoryTable::kSize; ++i)
        fixture.memory.Set(i, Sentinel(i));
    fixture.probe.Set(mode, write, bits, count, index);
    int result = CPlcEngine::REPLY_WAIT;
    for (std::size_t at = 4; at < size && result == CPlcEngine::REPLY_WAIT; at += piece) {
        result = fixture.probe.Add(data + at, std::min(piece, size - at));
        if (result < CPlcEngine::REPLY_WAIT || result > CPlcEngine::REPLY_ERROR)
            __builtin_trap();
        if (result == CPlcEngine::REPLY_WAIT &&
            fixture.probe.Held() > static_cast<std::size_t>(CPlcEngine::kFrameMax) + 2)
            __builtin_trap();
    }
    for (int i = 0; i < MemoryTable::kSize; ++i) {
        const bool own = i >= index && i < index + count && result == CPlcEngine::REPLY_OK;
        if (!own && fixture.memory.Get(i) != Sentinel(i))
            __builtin_trap();
    }
    return 0;
}
