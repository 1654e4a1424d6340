#pragma once

#include <QtGlobal>

// Opens a bound socket with the platform's own calls, so a failure carries
// the platform's error number (the messages show it), then hands the
// descriptor to a Qt socket.
class CSocketBinder {
public:
    enum Family { FAMILY_DUAL, FAMILY_IPV4 };
    enum Type { TYPE_STREAM, TYPE_DATAGRAM };

    struct Result {
        qintptr m_nFd = -1; // -1 on failure
        int m_nError = 0;   // errno, or the WSA error number on Windows
    };

    // FAMILY_DUAL listens on IPv6 and IPv4 at once and falls back to IPv4
    // where the machine has no IPv6. A stream socket is left listening with
    // the system's largest backlog: a burst of clients must not wait for a
    // retried handshake while the UI thread is busy.
    static Result Bind(Family family, Type type, int port);
    static void CloseFd(qintptr fd);
    // Accepts one waiting connection without blocking: its descriptor, or -1
    // with the error number (see IsNothingWaiting).
    static qintptr Accept(qintptr listenFd, int& error);
    // The accept found no usable connection but the listener is fine.
    static bool IsNothingWaiting(int error);
    // The bound local IPv4 address and port of a descriptor (host order).
    static bool LocalIpv4(qintptr fd, quint32& address, quint16& port);
    // EINVAL (or its Windows twin) for a port outside 0..65535.
    static int InvalidArgument();
};
