#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli tool sum|crc16|hex2ascii|ascii2hex ARG": the analyzer's four
// check tools on one argument.
class CCliTool {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
