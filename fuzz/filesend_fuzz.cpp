// Feeds the file transfer engine a stream of deliveries: raw bytes, and
// frames the harness completes with a right CRC so that the receiver's
// rules are reached with any index, size, name and data. Whatever comes,
// nothing crashes and nothing is written outside the receive folder.
#include "filesend/CFileFrame.h"
#include "filesend/CFileSendEngine.h"
#include "filesend/IFileSendScreen.h"
#include "link/ILinkHub.h"
#include "link/LinkType.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class CFuzzHub : public ILinkHub, public IFileSendScreen {
public:
    void SendToLink(const std::uint8_t*, int count) override {
        if (count > static_cast<int>(CFileFrame::kMaxFrame))
            std::abort(); // no frame is ever larger
    }
    bool IsLinkUp() const override { return true; }
    int GetLinkKind() const override { return m_nKind; }
    void ShowMessage(const std::string&) override {}
    void SetSendProgress(std::uint64_t, std::uint64_t) override {}
    void SetReceiveProgress(std::uint64_t, std::uint64_t) override {}
    void ShowReceivePath(const std::string&) override {}
    bool DeleteRow(int) override { return false; }
    bool LoadFirstRow() override { return false; }
    void StopCommand() override {}
    int m_nKind = LINK_TCP_SERVER;
};

// A sandbox with the receive folder and a file to send beside it, removed
// when the process ends.
class CSandbox {
public:
    CSandbox()
        : m_path(fs::temp_directory_path() /
                 ("quillet-filesend-fuzz-" + std::to_string(::getpid()))) {
        fs::create_directories(m_path / "in");
        std::ofstream(m_path / "source.bin", std::ios::binary) << std::string(40000, 's');
    }
    ~CSandbox() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

const fs::path& Sandbox() {
    static const CSandbox sandbox;
    return sandbox.Path();
}

std::uint32_t Take(const std::uint8_t*& p, const std::uint8_t* end, int width) {
    std::uint32_t v = 0;
    for (int i = 0; i < width && p < end; ++i)
        v |= static_cast<std::uint32_t>(*p++) << (8 * i);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& box = Sandbox();
    for (const auto& entry : fs::directory_iterator(box / "in"))
        fs::remove_all(entry.path());

    CFuzzHub hub;
    FileTransferRecord record;
    record.m_strRxFolder = (box / "in").string() + "/";
    record.m_strTxName = "source.bin";
    record.m_strTxPath = (box / "source.bin").string();
    CFileSendEngine engine(hub, hub, record, [] { return 0; });

    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    if (p < end && (*p++ & 1))
        engine.StartSend();
    while (p < end) {
        const std::uint8_t op = *p++;
        if (op & 0x80) // the link kind changes
            hub.m_nKind = (op & 0x40) ? LINK_SERIAL : LINK_TCP_CLIENT;
        if ((op & 0x03) == 0) { // raw bytes
            const std::size_t n = std::min<std::size_t>(Take(p, end, 2), end - p);
            engine.OnReceive(p, static_cast<int>(n));
            p += n;
        } else if ((op & 0x03) == 3) { // ticks
            for (int i = Take(p, end, 1); i > 0; --i) {
                engine.OnTimer(CFileSendEngine::ID_TIMER_TIMEOUT);
                engine.OnTimer(CFileSendEngine::ID_TIMER_RATES);
            }
        } else { // a frame with a right CRC
            static const std::uint8_t kinds[] = {CFileFrame::FRAME_DATA, CFileFrame::FRAME_ACK,
                                                 CFileFrame::FRAME_RESUME};
            const std::uint8_t kind = kinds[(op >> 2) % 3];
            // Small indexes and sizes most of the time, so that the rules
            // for a file in progress are reached.
            const bool wide = op & 0x20;
            const std::uint32_t index = wide ? Take(p, end, 4) : Take(p, end, 1) % 8;
            const std::uint32_t fileSize = wide ? Take(p, end, 4) : Take(p, end, 2) * 16;
            const std::size_t nameLength = std::min<std::size_t>(Take(p, end, 1), end - p);
            const std::string name(reinterpret_cast<const char*>(p), nameLength);
            p += nameLength;
            const std::size_t dataLength = std::min<std::size_t>(Take(p, end, 2), end - p);
            std::vector<std::uint8_t> frame =
                CFileFrame::Build(kind, index, fileSize, name, p, dataLength);
            p += dataLength;
            engine.OnReceive(frame.data(), static_cast<int>(frame.size()));
        }
    }
    // Only the receive folder and the source are there; the source is
    // unchanged.
    for (const auto& entry : fs::directory_iterator(box)) {
        const std::string leaf = entry.path().filename().string();
        if (leaf != "in" && leaf != "source.bin")
            std::abort();
    }
    if (fs::file_size(box / "source.bin") != 40000)
        std::abort();
    return 0;
}
