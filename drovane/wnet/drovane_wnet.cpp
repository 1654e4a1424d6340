// drovane-wnet PATH DRIVE [USER [PASSWORD]]: the connector's two platform
// calls without its form or message boxes, for a console: the first call as
// the current user with the drive string as given; when the platform asks
// for other credentials (67, 86, 1200, 1205, 1206), the second with the
// user and password and ":" after the drive. Prints each call's answer;
// exit 0 when a call connected.

#include "CWNetCalls.h"

#include <cstdio>
#include <string>

namespace {

bool AsksForCredentials(int nCode) {
    return nCode == 67 || nCode == 86 || nCode == 1200 || nCode == 1205 || nCode == 1206;
}

void Print(const char* pszCall, int nCode) {
    std::printf("%s: %d %s\n", pszCall, nCode, CWNetCalls::CodeName(nCode).c_str());
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: drovane-wnet PATH DRIVE [USER [PASSWORD]]\n");
        return 2;
    }
    const std::string strPath = argv[1];
    const std::string strLocal = argv[2];
    const std::string strUser = argc >= 4 ? argv[3] : "";
    const std::string strPass = argc >= 5 ? argv[4] : "";

    const CWNetCalls calls;
    const int nFirst = calls.AddConnection(strPath, "", strLocal);
    Print("WNetAddConnection", nFirst);
    if (nFirst == 0)
        return 0;
    if (!AsksForCredentials(nFirst))
        return 1;

    WNetResource resource;
    resource.m_strLocalName =
        !strLocal.empty() && strLocal.back() == ':' ? strLocal : strLocal + ":";
    resource.m_strRemoteName = strPath;
    const int nSecond = calls.AddConnection2(resource, strPass, strUser, 1);
    Print("WNetAddConnection2", nSecond);
    return nSecond == 0 ? 0 : 1;
}
