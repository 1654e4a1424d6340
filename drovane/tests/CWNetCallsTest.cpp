#include "CWNetCalls.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include <iostream>
#include <optional>
#include <string>

namespace {

// What the recording entry points were handed, copied during the call.
struct Seen {
    std::wstring remote, password, local, user;
    DWORD scope = 0, type = 0, displayType = 0, usage = 0;
    bool commentNull = false, providerNull = false, localNull = false;
    unsigned long flags = 0;
    unsigned long answer = 0;
};
Seen g_seen;

unsigned long RecordAddConnection(const wchar_t* remote, const wchar_t* password,
                                  const wchar_t* local) {
    g_seen.remote = remote;
    g_seen.password = password;
    g_seen.local = local;
    return g_seen.answer;
}

unsigned long RecordAddConnection2(NETRESOURCEW* net, const wchar_t* password, const wchar_t* user,
                                   unsigned long flags) {
    g_seen.scope = net->dwScope;
    g_seen.type = net->dwType;
    g_seen.displayType = net->dwDisplayType;
    g_seen.usage = net->dwUsage;
    g_seen.localNull = net->lpLocalName == nullptr;
    g_seen.local = net->lpLocalName ? net->lpLocalName : L"";
    g_seen.remote = net->lpRemoteName;
    g_seen.commentNull = net->lpComment == nullptr;
    g_seen.providerNull = net->lpProvider == nullptr;
    g_seen.password = password;
    g_seen.user = user;
    g_seen.flags = flags;
    return g_seen.answer;
}

const CWNetCalls kRecording({&RecordAddConnection, &RecordAddConnection2});

// A Korean share and user reach the wide calls intact, whatever the
// system's code page; the resource is filled as the table says and the
// system's answer comes back unchanged.
TEST(WNetCalls, StringsAndTheResourceReachThePlatformAsGiven) {
    g_seen = {};
    g_seen.answer = ERROR_BAD_NET_NAME;
    EXPECT_EQ(kRecording.AddConnection("\\\\127.0.0.1\\공유", "", "Z"), ERROR_BAD_NET_NAME);
    EXPECT_EQ(g_seen.remote, L"\\\\127.0.0.1\\\uACF5\uC720");
    EXPECT_EQ(g_seen.password, L"");
    EXPECT_EQ(g_seen.local, L"Z");

    g_seen = {};
    g_seen.answer = ERROR_INVALID_PASSWORD;
    WNetResource resource;
    resource.m_strLocalName = "Z:";
    resource.m_strRemoteName = "\\\\127.0.0.1\\공유";
    EXPECT_EQ(kRecording.AddConnection2(resource, "암호", "사용자", 1), ERROR_INVALID_PASSWORD);
    EXPECT_EQ(g_seen.scope, static_cast<DWORD>(RESOURCE_GLOBALNET));
    EXPECT_EQ(g_seen.type, static_cast<DWORD>(RESOURCETYPE_ANY));
    EXPECT_EQ(g_seen.displayType, static_cast<DWORD>(RESOURCEDISPLAYTYPE_SHARE));
    EXPECT_EQ(g_seen.usage, 0u);
    EXPECT_EQ(g_seen.local, L"Z:");
    EXPECT_EQ(g_seen.remote, L"\\\\127.0.0.1\\\uACF5\uC720");
    EXPECT_TRUE(g_seen.commentNull);
    EXPECT_TRUE(g_seen.providerNull);
    EXPECT_EQ(g_seen.password, L"\uC554\uD638");
    EXPECT_EQ(g_seen.user, L"\uC0AC\uC6A9\uC790");
    EXPECT_EQ(g_seen.flags, static_cast<unsigned long>(CONNECT_UPDATE_PROFILE));

    // A field left out is a null pointer, not an empty string.
    resource.m_strLocalName.reset();
    kRecording.AddConnection2(resource, "", "", 1);
    EXPECT_TRUE(g_seen.localNull);
}

// The real calls, on a share of the loopback address that nobody offers:
// the platform refuses with an error code, and no drive is mapped.
TEST(WNetCalls, ALoopbackShareNobodyOffersIsRefusedWithACode) {
    const CWNetCalls calls;
    const int nCode = calls.AddConnection("\\\\127.0.0.1\\quillet-no-such-share", "", "Q:");
    EXPECT_NE(nCode, 0);
    std::cout << "[          ] WNetAddConnection: " << nCode << ' ' << CWNetCalls::CodeName(nCode)
              << '\n';
    WNetResource resource;
    resource.m_strLocalName = "Q:";
    resource.m_strRemoteName = "\\\\127.0.0.1\\quillet-no-such-share";
    const int nCode2 = calls.AddConnection2(resource, "", "", 0);
    EXPECT_NE(nCode2, 0);
    std::cout << "[          ] WNetAddConnection2: " << nCode2 << ' '
              << CWNetCalls::CodeName(nCode2) << '\n';
    EXPECT_EQ(GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST(WNetCalls, CodesHaveTheirPlatformNames) {
    EXPECT_EQ(CWNetCalls::CodeName(0), "NO_ERROR");
    EXPECT_EQ(CWNetCalls::CodeName(67), "ERROR_BAD_NET_NAME");
    EXPECT_EQ(CWNetCalls::CodeName(1222), "ERROR_NO_NETWORK");
    EXPECT_EQ(CWNetCalls::CodeName(12345), "12345");
}

} // namespace
