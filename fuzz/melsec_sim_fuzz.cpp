// Feeds arbitrary bytes, in blocks of any size, to the simulated MELSEC
// station: it never crashes, every frame it sends is one of the link's
// (read data, ACK or NAK) no longer than the longest read reply, and its
// memory only grows by what the requests could have written.
#include "plc/sim/CMelsecSimStation.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    CMelsecSimStation station;
    station.SetDropEvery(data[0] >> 4);
    station.SetCorruptEvery(data[0] & 0x0F);
    station.SetSendHandler([](const std::uint8_t* bytes, int count) {
        const bool known = bytes[0] == 0x02 || bytes[0] == 0x06 || bytes[0] == 0x15;
        if (!known || count > 5 + 256 + 3)
            __builtin_trap();
    });
    std::size_t written = 0;
    station.SetWriteHandler([&written](const std::string&, long long, unsigned) { ++written; });
    const std::size_t block = data[1] % 32 + 1;
    for (std::size_t at = 2; at < size; at += block)
        station.OnReceive(data + at, static_cast<int>(std::min(block, size - at)));
    // A write stores at most 16 points per data character.
    if (station.Memory().WordCount() + station.Memory().BitCount() > 16 * size ||
        written > 16 * size)
        __builtin_trap();
    return 0;
}
