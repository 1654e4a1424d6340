#include "cli/CCliUsage.h"

const char* CCliUsage::Text() {
    return "Quillet command line: the program's engines without windows.\n"
           "\n"
           "Usage:\n"
           "  quillet-cli tool sum TEXT         8-bit sum of the text's CP949 bytes (\"%02X\")\n"
           "  quillet-cli tool crc16 HEX        CRC-16 of the hex bytes, low byte first\n"
           "  quillet-cli tool hex2ascii HEX    the decoded bytes, written to stdout as they are\n"
           "  quillet-cli tool ascii2hex TEXT   the text's CP949 bytes as hex digits\n"
           "  quillet-cli dump FILE.alr [--binary] [--page N]\n"
           "                                    the analyzer grid of a capture file: the line\n"
           "                                    \"page/pages\", then one line per grid row, cells\n"
           "                                    TAB-separated, each R (received) or T (sent)\n"
           "                                    followed by the byte's label, or hex with "
           "--binary\n"
           "  quillet-cli --help                this text\n"
           "\n"
           "TEXT is UTF-8 and is converted to CP949 first. Exit status: 0 done, 1 a file\n"
           "could not be read, 2 an odd number of hex digits, 64 a usage error.\n";
}
