// Parses arbitrary bytes as a profile file: the bytes come back unchanged,
// every lookup stays within the value limit, and a written value reads back.
#include "plc/CIniFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CIniFile ini;
    ini.LoadFromBytes(input);
    if (ini.ToBytes() != input)
        __builtin_trap();

    // Use the first line's text as a section and key name.
    const std::string name = input.substr(0, std::min<std::size_t>(input.find('\n'), 16));
    for (const char* section : {"YASKAWA_INI0", "A", name.c_str()})
        if (ini.GetString(section, "COMMTYPE").size() > 3 * CIniFile::kMaxValueBytes)
            __builtin_trap();

    ini.SetString("FUZZ_SECTION", "KEY", "value 1");
    ini.SetString("YASKAWA_INI0", "COMMTYPE", "x");
    CIniFile back;
    back.LoadFromBytes(ini.ToBytes());
    if (back.GetString("fuzz_section", "key") != "value 1")
        __builtin_trap();
    return 0;
}
