#include "cli/CCliDump.h"
#include "cli/CCliTool.h"
#include "cli/CCliUsage.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // hex2ascii writes raw bytes
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << CCliUsage::Text();
        return args.empty() ? CCliUsage::kUsageError : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "tool")
        return CCliTool::Run(args, std::cout, std::cerr);
    if (command == "dump")
        return CCliDump::Run(args, std::cout, std::cerr);
    std::cerr << "quillet-cli: unknown command '" << command << "'\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}
