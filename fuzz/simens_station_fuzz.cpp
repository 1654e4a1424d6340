// Feeds arbitrary bytes, in blocks of any size and with ticks between them,
// to a fresh simulated 3964R/RK512 partner, with its drop and corrupt rules
// on or off: no access leaves its buffers, every block it sends is a control
// character or one reaction telegram, and a request stores at most the words
// one telegram carries.
#include "plc/sim/CSimensSimStation.h"

#include <algorithm>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    CSimensSimStation station;
    std::string error;
    station.Preset("DB16", 16, 0x1010, error);
    station.Preset("DB5", 0, 0x1234, error);
    station.SetSendHandler([](const std::uint8_t*, int count) {
        // 00 00 00 ERR and 64 words, every byte doubled, DLE ETX and check.
        if (count < 1 || count > 2 * (4 + 2 * CSimensSimStation::kMaxWords) + 3)
            __builtin_trap();
    });
    long long writes = 0;
    station.SetWriteHandler([&writes](const std::string&, long long address, unsigned value) {
        if (address < 0 || address >= CSimensSimStation::kDbWords || value > 0xFFFF)
            __builtin_trap();
        ++writes;
    });
    station.SetCorruptEvery(data[1] & 3);
    station.SetDropEvery(data[1] >> 2 & 3);
    const std::size_t block = data[0] ? data[0] : 1;
    std::size_t n = 0;
    for (std::size_t at = 2; at < size; at += block, ++n) {
        station.OnReceive(data + at, static_cast<int>(std::min(block, size - at)));
        if (data[1] >> (4 + n % 4) & 1)
            for (int t = 0; t < CSimensSimStation::kAckTicks; ++t)
                station.OnTimer();
    }
    if (writes > CSimensSimStation::kMaxWords * (station.GetRequestCount() + 0) ||
        static_cast<long long>(station.Memory().WordCount()) > 2 + writes)
        __builtin_trap();
    return 0;
}
