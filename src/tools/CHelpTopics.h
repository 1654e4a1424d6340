#pragma once

#include <string>

// The texts of the help window, one per topic, in UTF-8. Each is built from
// fixed pieces: an empty line, the topic's heading, then its sections; every
// heading line in angle brackets is followed by an empty line, an empty line
// separates the sections, and every line ends with CR LF. The prose is
// wrapped by hand so that it reads the same in any text box width.
class CHelpTopics {
public:
    // In the order of the help window's buttons.
    enum Topic {
        TOPIC_ANALYZER,
        TOPIC_YASKAWA,
        TOPIC_SIEMENS,
        TOPIC_AB,
        TOPIC_MASTERK,
        TOPIC_POSFA,
        TOPIC_MELSEC,
        TOPIC_USER,
        TOPIC_FILESEND,
        TOPIC_CHAT,
        TOPIC_AUTHOR,
        TOPIC_OTHER,
        TOPIC_COUNT
    };

    // Who made the program, as the help and the about box name it.
    static constexpr const char* kAuthor = "Quillet 개발팀";

    // The whole text of a topic; empty for a number outside the list.
    static std::string Text(int topic);
    // The topic's heading line, without its line end.
    static std::string Heading(int topic);
};
