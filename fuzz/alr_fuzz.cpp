// Loads arbitrary bytes as a capture file. A file that loads must store back
// to exactly the bytes that were read.
#include "app/CAlrFile.h"
#include "app/CTessaryDoc.h"

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input);
    CTessaryDoc doc;
    std::string error;
    const bool ok = CAlrFile::Load(doc, in, error);
    if (!ok && error.empty())
        __builtin_trap();
    if (ok) {
        std::ostringstream out;
        if (!CAlrFile::Store(doc, out, error))
            __builtin_trap();
        const std::string stored = out.str();
        if (stored.size() > size || std::memcmp(stored.data(), data, stored.size()) != 0)
            __builtin_trap();
    }
    return 0;
}
