// Feeds arbitrary bytes, in arbitrary splits and with ticks between them, to
// the simulated POSFA station in both framings: it never crashes, its
// receive buffer stays bounded, and what it sends is a whole answer of its
// framing.
#include "plc/sim/CPosfaSimStation.h"

#include <algorithm>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    CPosfaSimStation station;
    std::string error;
    const bool lan = data[0] & 1;
    if (!station.SetMode(lan ? "lan" : "rs232c", error))
        __builtin_trap();
    station.Preset("WX", 1, 0x1234, error);
    station.Preset("Y", 3, 1, error);
    bool whole = true;
    station.SetSendHandler([&whole, lan](const std::uint8_t* bytes, int count) {
        if (lan) {
            const int length = count >= 2 ? (bytes[0] << 8 | bytes[1]) : -1;
            whole = whole && length == count && count >= 18;
        } else {
            whole =
                whole && count >= 5 && (bytes[0] == 0x02 || bytes[0] == 0x06 || bytes[0] == 0x15);
        }
    });
    station.SetCorruptEvery(data[0] >> 5);
    station.SetDropEvery((data[0] >> 1) & 0x0F);
    const std::size_t piece = data[1] ? data[1] : size;
    for (std::size_t at = 2; at < size; at += piece) {
        station.OnReceive(data + at, static_cast<int>(std::min(piece, size - at)));
        if (station.GetPendingCount() > 8192 + 2100)
            __builtin_trap();
        if ((at / piece) % 7 == 6)
            for (int t = 0; t < 5; ++t)
                station.OnTimer();
    }
    if (!whole)
        __builtin_trap();
    return 0;
}
