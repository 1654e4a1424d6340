#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Sockets on the loopback address with a port the system chose; port
// receives its number.
inline int BindLoopback(int type, int& port) {
    const int s = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return s;
}

inline int ListenLoopback(int& port) {
    const int s = BindLoopback(SOCK_STREAM, port);
    ::listen(s, 4);
    return s;
}

inline int BoundUdpSocket(int& port) {
    return BindLoopback(SOCK_DGRAM, port);
}

// A port nothing uses right now (until another program takes it).
inline int FreeLoopbackPort(int type) {
    int port = 0;
    ::close(BindLoopback(type, port));
    return port;
}

inline int FreeTcpPort() {
    return FreeLoopbackPort(SOCK_STREAM);
}

inline int FreeUdpPort() {
    return FreeLoopbackPort(SOCK_DGRAM);
}
