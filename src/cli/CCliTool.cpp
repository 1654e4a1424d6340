#include "cli/CCliTool.h"

#include "cli/CCliUsage.h"
#include "link/CCp949.h"
#include "link/CHexCodec.h"

#include <ostream>

int CCliTool::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << CCliUsage::Text();
        return CCliUsage::kUsageError;
    }
    const std::string& name = args[0];
    const std::string& input = args[1];
    bool refused = false;
    CHexCodec codec([&](const std::string& message) {
        err << message << '\n';
        refused = true;
    });

    std::string result;
    bool newline = true;
    if (name == "sum") {
        result = codec.SumCheck(CCp949::FromUtf8(input));
    } else if (name == "ascii2hex") {
        result = codec.AsciiToHex(CCp949::FromUtf8(input));
    } else if (name == "crc16") {
        result = codec.HexCrc16(input);
    } else if (name == "hex2ascii") {
        result = codec.HexToAscii(input);
        newline = false; // the decoded bytes exactly
    } else {
        err << CCliUsage::Text();
        return CCliUsage::kUsageError;
    }
    if (refused)
        return 2;
    out << result;
    if (newline)
        out << '\n';
    out.flush();
    return out ? 0 : 1;
}
