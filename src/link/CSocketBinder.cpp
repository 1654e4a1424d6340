#include "link/CSocketBinder.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>

namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr Native kBad = INVALID_SOCKET;
int LastError() {
    return WSAGetLastError();
}
void CloseNative(Native s) {
    closesocket(s);
}
#else
using Native = int;
constexpr Native kBad = -1;
int LastError() {
    return errno;
}
void CloseNative(Native s) {
    ::close(s);
}
#endif

CSocketBinder::Result Fail(Native s) {
    CSocketBinder::Result r;
    r.m_nError = LastError();
    if (s != kBad)
        CloseNative(s);
    return r;
}

CSocketBinder::Result BindOne(int family, int type, int port) {
#ifdef _WIN32
    // Qt starts Winsock only with its first socket; this may come before.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
    Native s = ::socket(family, type, 0);
    if (s == kBad)
        return Fail(s);
#ifndef _WIN32
    ::fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    int on = 1;
    int off = 0;
    if (type == SOCK_STREAM) {
#ifndef _WIN32
        // Lets a server restart at once after its clients left; a port some
        // other socket listens on is still refused.
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
#endif
    }
    int rc;
    if (family == AF_INET6) {
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_any;
        a.sin6_port = htons(static_cast<quint16>(port));
        rc = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } else {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        a.sin_port = htons(static_cast<quint16>(port));
        rc = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    if (rc != 0)
        return Fail(s);
    if (type == SOCK_STREAM && ::listen(s, SOMAXCONN) != 0)
        return Fail(s);
    if (type == SOCK_STREAM) {
#ifdef _WIN32
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
#else
        ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
#endif
    }
    CSocketBinder::Result r;
    r.m_nFd = static_cast<qintptr>(s);
    return r;
}

} // namespace

int CSocketBinder::InvalidArgument() {
#ifdef _WIN32
    return WSAEINVAL;
#else
    return EINVAL;
#endif
}

CSocketBinder::Result CSocketBinder::Bind(Family family, Type type, int port) {
    if (port < 0 || port > 65535) {
        Result r;
        r.m_nError = InvalidArgument();
        return r;
    }
    const int sockType = type == TYPE_STREAM ? SOCK_STREAM : SOCK_DGRAM;
    if (family == FAMILY_DUAL) {
        Result r = BindOne(AF_INET6, sockType, port);
#ifdef _WIN32
        const bool noIpv6 = r.m_nError == WSAEAFNOSUPPORT;
#else
        const bool noIpv6 = r.m_nError == EAFNOSUPPORT || r.m_nError == EADDRNOTAVAIL;
#endif
        if (r.m_nFd >= 0 || !noIpv6)
            return r;
    }
    return BindOne(AF_INET, sockType, port);
}

void CSocketBinder::CloseFd(qintptr fd) {
    if (fd >= 0)
        CloseNative(static_cast<Native>(fd));
}

qintptr CSocketBinder::Accept(qintptr listenFd, int& error) {
    const Native s = ::accept(static_cast<Native>(listenFd), nullptr, nullptr);
    if (s == kBad) {
        error = LastError();
        return -1;
    }
#ifndef _WIN32
    ::fcntl(s, F_SETFD, FD_CLOEXEC);
#endif
    error = 0;
    return static_cast<qintptr>(s);
}

bool CSocketBinder::IsNothingWaiting(int error) {
#ifdef _WIN32
    return error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR;
#else
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNABORTED;
#endif
}

bool CSocketBinder::LocalIpv4(qintptr fd, quint32& address, quint16& port) {
    sockaddr_in a{};
#ifdef _WIN32
    int len = sizeof a;
#else
    socklen_t len = sizeof a;
#endif
    if (::getsockname(static_cast<Native>(fd), reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        a.sin_family != AF_INET)
        return false;
    address = ntohl(a.sin_addr.s_addr);
    port = ntohs(a.sin_port);
    return true;
}
