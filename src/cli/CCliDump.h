#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli dump FILE.alr [--binary] [--page N]": the analyzer grid of a
// capture file as text, one line per grid row that holds a byte.
class CCliDump {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
