// Reads arbitrary bytes as a pcapng file. A refusal must say why; a file
// that loads must write back and read again as the same records.
#include "app/CPcapngReader.h"
#include "app/CPcapngWriter.h"
#include "app/CTessaryDoc.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CTessaryDoc doc;
    std::string error;
    if (!CPcapngReader::Load(doc, data, size, "fuzz", error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    // The plain link type keeps every record one packet, so the round trip
    // must give back the same directions, bytes and (where there was one)
    // times.
    CPcapngWriter writer;
    std::string file = writer.Header();
    for (std::size_t i = 0; i < doc.GetCount(); ++i)
        writer.AppendPacket(doc.GetRecord(i), file);
    CTessaryDoc again;
    if (!CPcapngReader::Load(again, reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                             "fuzz", error) ||
        again.GetCount() != doc.GetCount())
        __builtin_trap();
    for (std::size_t i = 0; i < doc.GetCount(); ++i) {
        const TrafficRecord a = doc.GetRecord(i);
        const TrafficRecord b = again.GetRecord(i);
        if (a.m_nDirection != b.m_nDirection || a.m_nLength != b.m_nLength ||
            (a.m_nTimeUs != 0 && a.m_nTimeUs != b.m_nTimeUs) ||
            (a.m_nLength > 0 &&
             std::memcmp(a.m_pData, b.m_pData, static_cast<std::size_t>(a.m_nLength)) != 0))
            __builtin_trap();
    }
    return 0;
}
