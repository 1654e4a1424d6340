// Feeds arbitrary bytes to the chat line buffer in deliveries of sizes the
// input chooses, with silence ticks between them: what is held never grows
// past its bound, and after the silence nothing is held any more.
#include "tools/CChatLineBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte seeds the delivery sizes and tick counts.
    unsigned seed = data[0];
    CChatLineBuffer buffer;
    std::size_t at = 1;
    while (at < size) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(size - at, 1 + (seed >> 16) % 64);
        buffer.OnReceive(data + at, static_cast<int>(n));
        at += n;
        if (buffer.GetHeldBytes() >= CChatLineBuffer::kMaxHeld)
            std::abort();
        for (unsigned t = (seed >> 8) % 9; t > 0; --t)
            buffer.OnTimer();
    }
    for (int t = 0; t < 8; ++t)
        buffer.OnTimer();
    if (buffer.GetHeldBytes() != 0)
        std::abort();
    return 0;
}
