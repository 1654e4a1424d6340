#include "cli/CCliLinkOptions.h"

#include "app/CProgramSettings.h"
#include "link/CLinkValueCheck.h"
#include "link/LinkType.h"

namespace {

// As the dialogs show typed hex: in capitals.
std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

} // namespace

const char* CCliLinkOptions::kUsage =
    "--link serial|tcp-server|tcp-client|udp|ipx-server|ipx-client [--port N]\n"
    "  [--udp-port N] [--ip HOST] [--env SETTINGS] [--network HEX] [--node HEX]\n"
    "  [--socket HEX] [--com N=DEVICE]...";

int CCliLinkOptions::KindOf(const std::string& name) {
    static const char* const names[] = {"serial", "tcp-server", "tcp-client",
                                        "udp",    "ipx-server", "ipx-client"};
    for (int i = 0; i < 6; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

bool CCliLinkOptions::Parse(std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool known = a == "--link" || a == "--port" || a == "--udp-port" || a == "--ip" ||
                           a == "--env" || a == "--network" || a == "--node" || a == "--socket" ||
                           a == "--com";
        if (!known) {
            rest.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = a + " needs a value";
            return false;
        }
        const std::string& v = args[++i];
        int n = 0;
        if (a == "--link") {
            m_nKind = KindOf(v);
            if (m_nKind < 0) {
                error = "--link: unknown link kind '" + v + "'";
                return false;
            }
        } else if (a == "--port" || a == "--udp-port") {
            if (!CProgramSettings::ParseInt(v, n) || !CLinkValueCheck::IsPort(n)) {
                error = a + " needs a port number from 1 to 65535, not '" + v + "'";
                return false;
            }
            (a == "--port" ? m_settings.m_nPort : m_settings.m_nUdpPort) = n;
        } else if (a == "--ip") {
            m_settings.m_strIp = v;
        } else if (a == "--env") {
            m_settings.m_strEnv = v;
        } else if (a == "--network") {
            if (!CLinkValueCheck::IsIpxNetwork(v)) {
                error = "--network needs 8 hex digits, not '" + v + "'";
                return false;
            }
            m_settings.m_strNetwork = Upper(v);
        } else if (a == "--node") {
            if (!CLinkValueCheck::IsIpxNode(v)) {
                error = "--node needs 12 hex digits, not '" + v + "'";
                return false;
            }
            m_settings.m_strNode = Upper(v);
        } else if (a == "--socket") {
            if (!CLinkValueCheck::IsIpxSocket(v)) {
                error = "--socket needs 4 hex digits other than 0000, not '" + v + "'";
                return false;
            }
            m_settings.m_strSocket = Upper(v);
        } else { // --com N=DEVICE
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos || !CProgramSettings::ParseInt(v.substr(0, eq), n) ||
                n <= 0 || eq + 1 >= v.size()) {
                error = "--com needs N=DEVICE, not '" + v + "'";
                return false;
            }
            m_comDevices[n] = v.substr(eq + 1);
        }
    }
    if (m_nKind < 0) {
        error = "--link is required";
        return false;
    }
    args.swap(rest);
    return true;
}
