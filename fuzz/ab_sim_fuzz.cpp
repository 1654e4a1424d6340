// Feeds arbitrary bytes, in blocks and with clock ticks where the input
// says, to the simulated DF1 station: nothing crashes, it stores only
// elements 0-999 of well-named data files, never more than one request's
// words at a time, and its frames stay the size of a reply.
#include "plc/sim/CAbSimStation.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    CAbSimStation station;
    std::string error;
    station.SetCorruptEvery(data[0] & 0x03);
    station.SetDropEvery((data[0] >> 2) & 0x03);
    station.SetSendHandler([](const std::uint8_t*, int count) {
        // DLE STX, 6 + 244 bytes all doubled, DLE ETX, BCC.
        if (count < 2 || count > 2 + 2 * 250 + 3)
            __builtin_trap();
    });
    station.SetWriteHandler([](const std::string& device, long long address, unsigned value) {
        if (!CAbSimStation::IsFileName(device) || address < 0 || address >= 1000 || value > 0xFFFF)
            __builtin_trap();
    });
    const int block = (data[1] & 0x3F) + 1;
    for (std::size_t at = 2; at < size;) {
        const int n =
            static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), size - at));
        station.OnReceive(data + at, n);
        if (data[at] & 0x80)
            station.OnTimer();
        at += static_cast<std::size_t>(n);
    }
    if (station.Memory().WordCount() > 122 * (station.GetRequestCount() + 1))
        __builtin_trap();
    return 0;
}
