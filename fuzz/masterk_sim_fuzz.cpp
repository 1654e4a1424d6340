// Feeds arbitrary bytes to the simulated MASTER-K Cnet station in the
// splits the first byte chooses, with silences between pieces: it never
// crashes, its buffer stays bounded, every reply is a whole ACK or NAK frame,
// and every write it reports names an address the device has.
#include "plc/sim/CMasterKSimStation.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    CMasterKSimStation station;
    std::string error;
    station.SetStation(1, error);
    long long writes = 0;
    station.SetWriteHandler([&](const std::string& device, long long address, unsigned value) {
        const bool bit = device.size() == 1 ? std::string("PMKLF").find(device) != std::string::npos
                                            : device[1] == 'X';
        const long long last = bit ? CMasterKSimStation::kMaxWordAddress * 16 + 15
                                   : CMasterKSimStation::kMaxWordAddress;
        if (address < 0 || address > last || value > (bit ? 1u : 65535u))
            __builtin_trap();
        ++writes;
    });
    station.SetSendHandler([&](const std::uint8_t* bytes, int count) {
        if (count < 7 ||
            (bytes[0] != CMasterKSimStation::ACK && bytes[0] != CMasterKSimStation::NAK))
            __builtin_trap();
        const bool etxLast = bytes[count - 1] == CMasterKSimStation::ETX;
        if (!etxLast && bytes[count - 3] != CMasterKSimStation::ETX)
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
    if (station.Memory().WordCount() > static_cast<std::size_t>(writes))
        __builtin_trap(); // memory that no write made
    return 0;
}
