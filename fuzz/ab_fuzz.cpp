// Feeds arbitrary bytes, cut into blocks where the input says, to the DF1
// link responder and reply parser, for read and write rows of any count at
// any memory index: nothing crashes, no word outside the row's range of the
// table changes, and nothing the engine sends is longer than a request.
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CAbEngine.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CCheckingHub : public ILinkHub {
public:
    void SendToLink(const std::uint8_t*, int count) override {
        if (count < 2 || count > 1024)
            __builtin_trap();
    }
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string&) override {}
};

class CReplyProbe : public CAbEngine {
public:
    explicit CReplyProbe(ILinkHub& hub) : CAbEngine(hub) {}
    void Feed(const std::uint8_t* data, int size, bool write, int count, int index) {
        m_current.m_strCommType = write ? PlcRequestRow::kAutoWrite : PlcRequestRow::kAutoRead;
        m_current.m_strDeviceName = "N7";
        m_current.m_nDst = 1;
        m_current.m_nDataCount = count;
        m_current.m_nAnIndex = index;
        OnReceive(data, size);
    }
};

struct SFixture {
    SFixture() {
        // The engine reads its rows from the current directory at Start; the
        // fuzzer's paths are relative to the one it was started in.
        const std::filesystem::path home = std::filesystem::current_path();
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_AB);
        file.SaveRows(file.CurrentPath(), {{"자동읽기", "WORD", "N7", "0", "1", "0", "1", "0"}});
        const int started = probe.Start(memory, 0);
        std::filesystem::current_path(home);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        if (started != 1)
            __builtin_trap();
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quillet-ab-fuzz-" + std::to_string(::getpid()));
    CCheckingHub hub;
    CReplyProbe probe{hub};
    MemoryTable memory;
};

constexpr std::uint16_t kUntouched = 0xA5A5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 4)
        return 0;
    const bool write = (data[0] & 1) != 0;
    // Counts 1..128, past what a row may hold.
    const int count = ((data[0] >> 1) & 0x7F) + 1;
    // Indexes from -128 to 1151 reach both ends of the table.
    const int index = (data[1] | (data[2] & 0x0F) << 8) - 128;
    // Blocks of 1..16 bytes, or the whole rest at once.
    const int block = data[3] & 0x10 ? static_cast<int>(size) : (data[3] & 0x0F) + 1;
    for (int i = 0; i < MemoryTable::kSize; ++i)
        fixture.memory.Set(i, kUntouched);
    for (std::size_t at = 4; at < size;) {
        const int n =
            static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), size - at));
        fixture.probe.Feed(data + at, n, write, count, index);
        at += static_cast<std::size_t>(n);
    }
    for (int i = 0; i < MemoryTable::kSize; ++i) {
        const bool inRow = !write && i >= index && i < index + count;
        if (!inRow && fixture.memory.Get(i) != kUntouched)
            __builtin_trap();
    }
    return 0;
}
