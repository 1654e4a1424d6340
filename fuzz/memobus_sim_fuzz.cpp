// Feeds arbitrary bytes to the simulated MEMOBUS slave, in both framings and
// in the splits the first byte chooses, with silences between pieces: it
// never crashes, its receive buffer stays bounded, every reply it sends is a
// whole frame, and every write it reports came with a request.
#include "plc/sim/CMemobusSimStation.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const bool rtu = data[0] & 1;
    const std::size_t piece = 1 + (data[0] >> 1) % 40;
    ++data;
    --size;
    CMemobusSimStation station;
    std::string error;
    station.SetMode(rtu ? "rtu" : "ascii", error);
    long long writes = 0;
    station.SetWriteHandler([&](const std::string&, long long address, unsigned value) {
        if (address < 0 || address > 65535 || value > 65535)
            __builtin_trap();
        ++writes;
    });
    station.SetSendHandler([&](const std::uint8_t* bytes, int count) {
        if (count < 1 || (rtu && count < 5) || (!rtu && (bytes[0] != ':' || count < 11)) ||
            (!rtu && (bytes[count - 2] != '\r' || bytes[count - 1] != '\n')))
            __builtin_trap();
    });
    station.SetCorruptEvery(3);
    station.SetDropEvery(5);
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        station.OnReceive(data + at, static_cast<int>(n));
        if (data[at] == 0xFF)
            station.OnTimer();
    }
    for (int i = 0; i < CMemobusSimStation::kAsciiGapTicks; ++i)
        station.OnTimer();
    if (writes > 0 && station.Memory().WordCount() == 0 && station.GetRequestCount() == 0)
        __builtin_trap(); // a write without a request
    return 0;
}
