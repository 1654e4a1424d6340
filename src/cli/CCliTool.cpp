#include "cli/CCliTool.h"

#include "cli/CCliUsage.h"
#include "link/CCp949.h"
#include "link/CHexCodec.h"

#include <ostream>

namespace {

int Usage(std::ostream& err, const std::string& problem) {
    err << "quillet-cli tool: " << problem << "\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

} // namespace

int CCliTool::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return Usage(err, "the tool's name is missing (sum, crc16, hex2ascii, ascii2hex)");
    const std::string& name = args[0];
    if (name != "sum" && name != "crc16" && name != "hex2ascii" && name != "ascii2hex")
        return Usage(err, "unknown tool '" + name + "'");
    if (args.size() < 2)
        return Usage(err, name + " needs its input");
    if (args.size() > 2)
        return Usage(err, name + " takes one input; '" + args[2] + "' is one too many");
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
        return Usage(err, "unknown tool '" + name + "'");
    }
    if (refused)
        return 2;
    out << result;
    if (newline)
        out << '\n';
    out.flush();
    return out ? 0 : 1;
}
