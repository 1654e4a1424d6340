#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "quillet-cli chat LINK-OPTIONS [--seconds S]": the chat screen on a link
// without its window. Each line of standard input is sent as a chat line
// (CP949, CR LF); each line the screen would add to its conversation is
// printed in UTF-8.
class CCliChat {
public:
    static constexpr const char* kNotUp = "통신 설정을 안했거나 통신이 실패한 상태입니다.";

    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
};
