// Feeds arbitrary bytes, in the splits the first byte chooses, to the
// MASTER-K reply state machine for read and write rows of words and bits at
// any memory index: it never crashes, its reply frame never grows past the
// work area, and every block ends in one of the engine's reply results.
#include "CQuietHub.h"
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CMasterKEngine.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CReplyProbe : public CMasterKEngine {
public:
    explicit CReplyProbe(ILinkHub& hub) : CMasterKEngine(hub) {}
    // A new request for the row, as the engine sends one.
    void Expect(const PlcRequestRow& row) {
        SendNextRequest();
        m_current = row;
    }
    int Parse(const std::uint8_t* data, std::size_t size) {
        m_receive.assign(data, data + size);
        return ParseResponse();
    }
};

struct SFixture {
    SFixture() {
        // The engine reads its rows at Start only; the fuzzer's relative
        // paths need the directory it was started in back.
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_MASTERK);
        file.SaveRows(file.CurrentPath(), {{"자동읽기", "0", "WORD", "D", "0", "1", "0"}});
        const int started = probe.Start(memory, 0);
        std::filesystem::current_path(home);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        if (started != 1)
            __builtin_trap();
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quillet-masterk-fuzz-" + std::to_string(::getpid()));
    CQuietHub hub;
    CReplyProbe probe{hub};
    MemoryTable memory;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 4)
        return 0;
    PlcRequestRow row;
    row.m_strCommType = data[0] & 1 ? PlcRequestRow::kAutoWrite : PlcRequestRow::kAutoRead;
    row.m_strDeviceType = data[0] & 2 ? "BIT" : "WORD";
    row.m_strDeviceName = "D";
    row.m_nStationNum = data[0] >> 7;
    // Counts 1..64 at bit offsets 0..15; indexes from -128 to 1151.
    row.m_nDataCount = (data[1] & 0x3F) + 1;
    row.m_nPlcAddress = data[1] >> 6 | (data[2] & 0xF0) >> 2;
    row.m_nAnIndex = (data[3] | (data[2] & 0x0F) << 8) - 128;
    const std::size_t piece = 1 + ((data[0] >> 2) & 0x1F) * 7;
    fixture.probe.Expect(row);
    for (std::size_t at = 4; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        const int result = fixture.probe.Parse(data + at, n);
        if (result < CPlcEngine::REPLY_WAIT || result > CPlcEngine::REPLY_ERROR ||
            fixture.probe.GetReplyFrameSize() > static_cast<std::size_t>(CPlcEngine::kFrameMax))
            __builtin_trap();
        if (result != CPlcEngine::REPLY_WAIT)
            fixture.probe.Expect(row);
    }
    return 0;
}
