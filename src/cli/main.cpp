#include "cli/CCliCapture.h"
#include "cli/CCliChat.h"
#include "cli/CCliDump.h"
#include "cli/CCliExport.h"
#include "cli/CCliFileSend.h"
#include "cli/CCliPoll.h"
#include "cli/CCliSim.h"
#include "cli/CCliTool.h"
#include "cli/CCliUsage.h"
#include "cli/CCliUser.h"

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

int Run(std::vector<std::string> args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << CCliUsage::Text();
        return args.empty() ? CCliUsage::kUsageError : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "tool")
        return CCliTool::Run(args, std::cout, std::cerr);
    if (command == "capture")
        return CCliCapture::Run(args, std::cout, std::cerr);
    if (command == "dump")
        return CCliDump::Run(args, std::cout, std::cerr);
    if (command == "export")
        return CCliExport::Run(args, std::cout, std::cerr);
    if (command == "poll")
        return CCliPoll::Run(args, std::cout, std::cerr);
    if (command == "sim")
        return CCliSim::Run(args, std::cout, std::cerr);
    if (command == "user")
        return CCliUser::Run(args, std::cout, std::cerr);
    if (command == "chat")
        return CCliChat::Run(args, std::cout, std::cerr);
    if (command == "send-files")
        return CCliFileSend::RunSend(args, std::cout, std::cerr);
    if (command == "receive-files")
        return CCliFileSend::RunReceive(args, std::cout, std::cerr);
    std::cerr << "quillet-cli: unknown command '" << command << "'\n\n" << CCliUsage::Text();
    return CCliUsage::kUsageError;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // hex2ascii writes raw bytes
#endif
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::bad_alloc&) {
        std::cerr << "quillet-cli: 메모리가 부족합니다.\n";
    } catch (const std::exception& e) {
        std::cerr << "quillet-cli: " << e.what() << '\n';
    }
    return 1;
}
