#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli capture --link KIND ... --out FILE.alr": opens a link the way
// "통신 설정" does, records every block as the analyzer screen would, sends
// the --send-hex blocks once the link can carry them, and writes the capture.
class CCliCapture {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
