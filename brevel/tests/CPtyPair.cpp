#include "CPtyPair.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

CPtyPair::CPtyPair() {
    termios tio{};
    cfmakeraw(&tio);
    char szName[256] = {};
    if (::openpty(&m_nMaster, &m_nSlave, szName, &tio, nullptr) != 0) {
        m_nMaster = m_nSlave = -1;
        return;
    }
    m_strSlavePath = QString::fromLocal8Bit(szName);
}

CPtyPair::~CPtyPair() {
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    if (m_nMaster >= 0)
        ::close(m_nMaster);
}

void CPtyPair::Send(const QByteArray& baBytes) {
    qsizetype nDone = 0;
    while (nDone < baBytes.size()) {
        const ssize_t n = ::write(m_nMaster, baBytes.constData() + nDone,
                                  static_cast<size_t>(baBytes.size() - nDone));
        if (n <= 0)
            return;
        nDone += n;
    }
}
