// Feeds arbitrary bytes, in blocks of any size, to the MELSEC reply parser
// for read and write rows of every unit, device and count, at any memory
// index: no word outside the row's own range changes, the result is one of
// the engine's reply results, and the bytes the parser keeps waiting on
// never outgrow the longest reply a request can have.
#include "CQuietHub.h"
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CMelsecEngine.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CReplyProbe : public CMelsecEngine {
public:
    explicit CReplyProbe(ILinkHub& hub) : CMelsecEngine(hub) {}
    void Begin(const PlcRequestRow& row) {
        m_current = row;
        m_receive.clear();
        std::uint8_t frame[kFrameMax];
        int length = 0;
        BuildRequest(frame, length);
    }
    int Feed(const std::uint8_t* data, std::size_t size) {
        m_receive.insert(m_receive.end(), data, data + size);
        return ParseResponse();
    }
    std::size_t Held() const { return m_receive.size(); }
};

struct SFixture {
    SFixture() {
        // Start reads the rows from the current directory; the fuzzer's own
        // paths are relative to the directory it was started in.
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_MELSEC);
        file.SaveRows(file.CurrentPath(), {{"자동읽기", "0", "255", "WORD", "D", "0", "1", "0"}});
        const int started = probe.Start(memory, 0);
        std::filesystem::current_path(home);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        if (started != 1)
            __builtin_trap();
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quillet-melsec-fuzz-" + std::to_string(::getpid()));
    CQuietHub hub;
    CReplyProbe probe{hub};
    MemoryTable memory;
};

constexpr std::uint16_t kPattern = 0xA55A;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 5)
        return 0;
    std::size_t count = 0;
    const CMelsecEngine::SDevice* devices = CMelsecEngine::Devices(count);
    PlcRequestRow row;
    row.m_strCommType = data[0] & 1 ? PlcRequestRow::kAutoWrite : PlcRequestRow::kAutoRead;
    row.m_strDeviceType = data[0] & 2 ? "BIT" : "WORD";
    row.m_strDeviceName = devices[(data[0] >> 2) % count].m_szName;
    row.m_nDataCount = data[1] + 1; // 1..256, clamped by the command
    // Indexes from -128 to 1151 reach both ends of the table.
    row.m_nAnIndex = (data[2] | (data[3] & 0x0F) << 8) - 128;
    row.m_nStationNum = 0;
    row.m_nPlcNum = 255;
    const std::size_t block = (data[3] >> 4) + 1;
    for (int i = 0; i < MemoryTable::kSize; ++i)
        fixture.memory.Set(i, kPattern);
    fixture.probe.Begin(row);

    const long long first = row.m_nAnIndex;
    const long long points = CMelsecEngine::PointCount(row);
    for (std::size_t at = 4; at < size; at += block) {
        const std::size_t n = std::min(block, size - at);
        const int result = fixture.probe.Feed(data + at, n);
        if (result < CPlcEngine::REPLY_WAIT || result > CPlcEngine::REPLY_ERROR)
            __builtin_trap();
        // STX, station and PLC, 256 data characters, ETX and the sum.
        if (result == CPlcEngine::REPLY_WAIT && fixture.probe.Held() > 5 + 256 + 3)
            __builtin_trap();
        if (result != CPlcEngine::REPLY_WAIT)
            fixture.probe.Begin(row);
    }
    for (int i = 0; i < MemoryTable::kSize; ++i) {
        if ((i < first || i >= first + points) && fixture.memory.Get(i) != kPattern)
            __builtin_trap();
    }
    return 0;
}
