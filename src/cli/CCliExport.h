#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli export FILE.alr OUT.pcapng [--as modbus-rtu]": a capture
// file as pcapng for Wireshark. The records of an .ALR file have no times:
// they are numbered one millisecond apart and the command says so.
class CCliExport {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
