#include "tools/CIpCheckerText.h"

#include <algorithm>

std::string CIpCheckerText::OwnAddressLine(int nPosition, std::string_view dotted) {
    return std::to_string(nPosition) + "번 IP : < " + std::string(dotted) + " > ";
}

std::string CIpCheckerText::NeighbourLine(int nNumber, std::string_view name,
                                          const std::array<std::uint8_t, 4>& address) {
    if (name.starts_with("\\\\"))
        name.remove_prefix(2);
    std::string line = std::to_string(nNumber) + "번 " + std::string(name) + " : <";
    for (std::size_t i = 0; i < address.size(); ++i)
        line += (i ? "." : "") + std::to_string(address[i]);
    return line + ">";
}

bool CIpCheckerText::ParseIpv4(std::string_view text, std::array<std::uint8_t, 4>& address) {
    std::size_t part = 0;
    int value = -1;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (value < 0 || part >= address.size())
                return false;
            address[part++] = static_cast<std::uint8_t>(value);
            value = -1;
        } else if (text[i] >= '0' && text[i] <= '9') {
            value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
            if (value > 255)
                return false;
        } else {
            return false;
        }
    }
    return part == address.size();
}

namespace {

// avahi-browse -p escapes ';', '\\' and unprintable bytes in names as
// "\\DDD" (three decimal digits).
std::string Unescape(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        field.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                        [](char c) { return c >= '0' && c <= '9'; })) {
            const int code =
                (field[i + 1] - '0') * 100 + (field[i + 2] - '0') * 10 + (field[i + 3] - '0');
            text += static_cast<char>(code & 0xFF);
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(';', start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

} // namespace

std::vector<CIpCheckerText::SNeighbour> CIpCheckerText::ParseAvahiBrowse(std::string_view output) {
    std::vector<SNeighbour> hosts;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        // A last line without its line end was cut by the deadline.
        if (end == std::string_view::npos)
            break;
        std::string_view line = output.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        // =;interface;protocol;name;type;domain;host;address;port;txt
        const std::vector<std::string_view> f = Split(line);
        if (f.size() < 9 || f[0] != "=" || f[2] != "IPv4")
            continue;
        std::array<std::uint8_t, 4> address{};
        if (!ParseIpv4(f[7], address))
            continue;
        std::string name = Unescape(f[6]);
        if (name.ends_with(".local"))
            name.resize(name.size() - 6);
        if (name.empty())
            continue;
        const bool known = std::any_of(hosts.begin(), hosts.end(),
                                       [&](const SNeighbour& h) { return h.m_strName == name; });
        if (!known)
            hosts.push_back({name, address});
    }
    return hosts;
}
