// Feeds arbitrary bytes, in blocks of any size and with time-outs between
// them, to the 3964R exchange of a fresh engine polling rows that meet both
// ends of the table (fetches and sends, words and bits): no access leaves a
// buffer or the table, every frame it sends is one of the procedure's, and
// the state stays one of the exchange's.
#include "link/ILinkHub.h"
#include "plc/CPlcSettingsFile.h"
#include "plc/codecs/CSimensEngine.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

class CCheckingHub : public ILinkHub {
public:
    void SendToLink(const std::uint8_t*, int count) override {
        // One control character, or a telegram of at most 64 doubled words.
        if (count < 1 || count > 2 * (10 + 2 * CSimensEngine::kMaxWords) + 3)
            __builtin_trap();
    }
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return 0; }
    void ShowMessage(const std::string&) override {}
};

struct SFixture {
    SFixture() {
        std::filesystem::create_directories(dir);
        CPlcSettingsFile file(CPlcSettingsFile::PLC_SIMENS);
        file.SaveRows(rows, {{"자동읽기", "WORD", "16", "16", "64", "936"},
                             {"자동읽기", "BIT", "5", "0", "1000", "0"},
                             {"자동쓰기", "BIT", "5", "0", "17", "983"},
                             {"자동읽기", "BIT", "5", "0", "17", "983"},
                             {"자동쓰기", "WORD", "255", "255", "3", "997"}});
    }
    ~SFixture() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("quillet-simens-fuzz-" + std::to_string(::getpid()));
    const std::filesystem::path rows = dir / "simens_plc.ini";
    CCheckingHub hub;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SFixture fixture;
    if (size < 2)
        return 0;
    CSimensEngine engine(fixture.hub);
    engine.SetRowsPath(fixture.rows);
    MemoryTable memory;
    if (engine.Start(memory, 0) != 1)
        __builtin_trap();
    // The first byte sizes the blocks, the second says after which of them
    // the time-out runs out.
    const std::size_t block = data[0] ? data[0] : 1;
    const unsigned timeouts = data[1];
    std::size_t n = 0;
    for (std::size_t at = 2; at < size; at += block, ++n) {
        const std::size_t length = std::min(block, size - at);
        engine.OnReceive(data + at, static_cast<int>(length));
        if (timeouts >> (n % 8) & 1) {
            for (int t = 0; t < 22; ++t)
                engine.OnTimer(CPlcEngine::ID_TIMER_POLL);
        }
        if (engine.GetState() < CSimensEngine::S_IDLE ||
            engine.GetState() > CSimensEngine::S_FINISHING)
            __builtin_trap();
    }
    return 0;
}
