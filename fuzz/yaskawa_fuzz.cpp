// Feeds arbitrary bytes to the MEMOBUS reply parser, in both framings, for
// read and write rows of any count and at any memory index: no access
// leaves the table, the result is one of the engine's reply results, and a
// reply long enough for the largest frame a byte count can state is always
// finished, so no peer can hold a request open with bytes alone.
#include "CQuietHub.h"
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CYaskawaEngine.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CReplyProbe : public CYaskawaEngine {
public:
    explicit CReplyProbe(ILinkHub& hub) : CYaskawaEngine(hub) {}
    int Parse(const std::uint8_t* data, std::size_t size, int mode, int index, bool write,
              int count) {
        m_nMode = mode;
        m_current.m_strCommType = write ? PlcRequestRow::kAutoWrite : PlcRequestRow::kAutoRead;
        m_current.m_nDataCount = count;
        m_current.m_nAnIndex = index;
        m_receive.assign(data, data + size);
        return ParseResponse();
    }
};

struct SFixture {
    SFixture() {
        // The engine reads its rows from the current directory at Start and
        // not again; the fuzzer's corpus and artifact paths are relative to
        // the directory it was started in, so that one is given back.
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_YASKAWA);
        file.SaveRows(file.CurrentPath(), {{"자동읽기", "1", "WORD", "0", "1", "0"}});
        const int started = probe.Start(memory, CYaskawaEngine::MEMOBUS_RTU);
        std::filesystem::current_path(home);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        if (started != 1)
            __builtin_trap();
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quillet-yaskawa-fuzz-" + std::to_string(::getpid()));
    CQuietHub hub;
    CReplyProbe probe{hub};
    MemoryTable memory;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 3)
        return 0;
    const int mode = data[0] & 1;
    const bool write = (data[0] & 2) != 0;
    // Counts 1..64, enough to meet both ends of the table.
    const int count = ((data[0] >> 2) & 0x3F) + 1;
    // Indexes from -128 to 1151 reach both ends of the table.
    const int index = (data[1] | (data[2] & 0x0F) << 8) - 128;
    const int result = fixture.probe.Parse(data + 3, size - 3, mode, index, write, count);
    if (result < CPlcEngine::REPLY_WAIT || result > CPlcEngine::REPLY_ERROR)
        __builtin_trap();
    // Slave, function, a byte count of 255, 255 data bytes and the check.
    const std::size_t longest =
        mode == CYaskawaEngine::MEMOBUS_RTU ? 3 + 255 + 2 : 1 + 2 * (3 + 255) + 2 + 2;
    if (result == CPlcEngine::REPLY_WAIT && size - 3 >= longest)
        __builtin_trap();
    return 0;
}
