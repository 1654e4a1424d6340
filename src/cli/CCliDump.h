#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli dump FILE.alr [--binary] [--page N] [--times]": the analyzer
// grid of a capture file (.alr, or .pcapng as export and capture write it)
// as text, one line per grid row that holds a byte; --times adds a line per
// record on the page.
class CCliDump {
public:
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
