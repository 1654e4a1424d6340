#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli sim PLC LINK-OPTIONS ...": a simulated PLC station on a link,
// the counterpart a user without hardware (and every test) polls. It answers
// until Ctrl+C, SIGTERM, the end of standard input or the end of the link,
// printing "write DEVICE ADDRESS VALUE" for each value a request stores.
class CCliSim {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

    // "D:100=11", "N7:0=-1", "0=4660", "M:0x1F=1": the device (upper case,
    // empty when not given), the address and the value; false when the text
    // is not of that form.
    static bool ParsePreset(const std::string& text, std::string& device, long long& address,
                            long long& value);
};
