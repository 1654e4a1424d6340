#include "MSComm.h"

#include "CCodePage949.h"

#include <QFileInfo>
#include <QPointer>

#include <limits>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace {

constexpr char kEofByte = 0x1A;
constexpr int kMaxShort = std::numeric_limits<qint16>::max();
constexpr qint64 kMaxReadChunk = 4096;

QString ErrorText(MSComm::ErrorConstants eNumber) {
    switch (eNumber) {
    case MSComm::comInvalidPropertyValue:
        return QStringLiteral("속성 값이 잘못되었습니다.");
    case MSComm::comPortOpen:
        return QStringLiteral("포트가 열려 있는 동안에는 할 수 없는 작업입니다.");
    case MSComm::comPortInvalid:
        return QStringLiteral("잘못된 포트 번호입니다.");
    case MSComm::comPortAlreadyOpen:
        return QStringLiteral("포트가 이미 열려 있습니다.");
    case MSComm::comPortInUse:
        return QStringLiteral(
            "포트를 사용할 수 없습니다. 다른 프로그램이 사용 중이거나 권한이 없습니다.");
    case MSComm::comSetCommStateFailed:
        return QStringLiteral("포트의 통신 설정을 적용할 수 없습니다.");
    case MSComm::comPortNotOpen:
        return QStringLiteral("포트가 열려 있을 때만 할 수 있는 작업입니다.");
    }
    return {};
}

CommError Error(MSComm::ErrorConstants eNumber) {
    return CommError{eNumber, ErrorText(eNumber)};
}

struct LineSettings {
    qint32 nBaud = 9600;
    QSerialPort::Parity eParity = QSerialPort::NoParity;
    QSerialPort::DataBits eDataBits = QSerialPort::Data8;
    QSerialPort::StopBits eStopBits = QSerialPort::OneStop;
};

// "baud,parity,data bits,stop bits", e.g. "9600,n,8,1".
bool ParseSettings(const QString& strSettings, LineSettings& out) {
    const QStringList fields = strSettings.split(QLatin1Char(','));
    if (fields.size() != 4)
        return false;
    bool bOk = false;
    out.nBaud = fields[0].trimmed().toInt(&bOk);
    if (!bOk || out.nBaud <= 0)
        return false;

    const QString strParity = fields[1].trimmed().toLower();
    if (strParity == QLatin1String("n"))
        out.eParity = QSerialPort::NoParity;
    else if (strParity == QLatin1String("e"))
        out.eParity = QSerialPort::EvenParity;
    else if (strParity == QLatin1String("o"))
        out.eParity = QSerialPort::OddParity;
    else if (strParity == QLatin1String("m"))
        out.eParity = QSerialPort::MarkParity;
    else if (strParity == QLatin1String("s"))
        out.eParity = QSerialPort::SpaceParity;
    else
        return false;

    const int nDataBits = fields[2].trimmed().toInt(&bOk);
    if (!bOk || nDataBits < 5 || nDataBits > 8)
        return false;
    out.eDataBits = static_cast<QSerialPort::DataBits>(nDataBits);

    const QString strStop = fields[3].trimmed();
    if (strStop == QLatin1String("1"))
        out.eStopBits = QSerialPort::OneStop;
    else if (strStop == QLatin1String("1.5"))
        out.eStopBits = QSerialPort::OneAndHalfStop;
    else if (strStop == QLatin1String("2"))
        out.eStopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

} // namespace

MSComm::MSComm(QObject* pParent) : QObject(pParent), m_pPort(new QSerialPort(this)) {
    // Queued, so an OnComm handler never runs inside QSerialPort's own
    // readyRead: it may open a message box (a nested event loop) or delete
    // this control, port and all.
    connect(m_pPort, &QSerialPort::readyRead, this, &MSComm::ReadPort, Qt::QueuedConnection);
    connect(m_pPort, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // A vanished device (unplugged adapter) would keep signalling; close it.
        if (e == QSerialPort::ResourceError && m_pPort->isOpen())
            m_pPort->close();
    });
}

MSComm::~MSComm() = default;

QString MSComm::DevicePath(int nPort) {
    const QByteArray baOverride = qgetenv(QStringLiteral("BREVEL_COM%1").arg(nPort).toLatin1());
    if (!baOverride.isEmpty())
        return QString::fromLocal8Bit(baOverride);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(nPort);
#else
    return QStringLiteral("/dev/ttyS%1").arg(nPort - 1);
#endif
}

QList<int> MSComm::LineEvents(const LineCounters& before, const LineCounters& after) {
    QList<int> events;
    if (after.nBreak > before.nBreak)
        events.append(comEventBreak);
    if (after.nFrame > before.nFrame)
        events.append(comEventFrame);
    if (after.nOverrun > before.nOverrun)
        events.append(comEventOverrun);
    if (after.nBufferOverrun > before.nBufferOverrun)
        events.append(comEventRxOver);
    if (after.nParity > before.nParity)
        events.append(comEventRxParity);
    return events;
}

CommError MSComm::SetCommPort(int nPort) {
    if (PortOpen())
        return Error(comPortOpen);
    if (nPort < 1 || nPort > 255)
        return Error(comPortInvalid);
    m_nCommPort = nPort;
    return {};
}

CommError MSComm::SetDTREnable(bool bEnable) {
    m_bDTREnable = bEnable;
    ApplyDTR();
    return {};
}

CommError MSComm::SetEOFEnable(bool bEnable) {
    m_bEOFEnable = bEnable;
    return {};
}

CommError MSComm::SetHandshaking(int nHandshaking) {
    if (nHandshaking < comNone || nHandshaking > comRTSXOnXOff)
        return Error(comInvalidPropertyValue);
    const HandshakeConstants eOld = m_eHandshaking;
    m_eHandshaking = static_cast<HandshakeConstants>(nHandshaking);
    if (!ApplyHandshaking()) {
        m_eHandshaking = eOld;
        ApplyHandshaking();
        return Error(comSetCommStateFailed);
    }
    return {};
}

CommError MSComm::SetInBufferSize(int nSize) {
    if (nSize < 1 || nSize > kMaxShort)
        return Error(comInvalidPropertyValue);
    m_nInBufferSize = nSize;
    ReadLater();
    return {};
}

CommError MSComm::SetInputLen(int nLen) {
    if (nLen < 0 || nLen > kMaxShort)
        return Error(comInvalidPropertyValue);
    m_nInputLen = nLen;
    return {};
}

CommError MSComm::SetSettings(const QString& strSettings) {
    LineSettings parsed;
    if (!ParseSettings(strSettings, parsed))
        return Error(comInvalidPropertyValue);
    const QString strOld = m_strSettings;
    m_strSettings = strSettings;
    if (PortOpen() && !ApplyLineSettings()) {
        m_strSettings = strOld;
        ApplyLineSettings();
        return Error(comSetCommStateFailed);
    }
    return {};
}

CommError MSComm::SetOutBufferSize(int nSize) {
    if (nSize < 1 || nSize > kMaxShort)
        return Error(comInvalidPropertyValue);
    m_nOutBufferSize = nSize;
    return {};
}

int MSComm::OutBufferCount() const {
    return PortOpen() ? static_cast<int>(m_pPort->bytesToWrite()) : 0;
}

CommError MSComm::SetOutBufferCount(int nCount) {
    // Only 0 is meaningful: it empties the transmit buffer.
    if (nCount != 0)
        return Error(comInvalidPropertyValue);
    if (PortOpen())
        m_pPort->clear(QSerialPort::Output);
    return {};
}

CommError MSComm::SetInBufferCount(int nCount) {
    if (nCount != 0)
        return Error(comInvalidPropertyValue);
    m_baInBuffer.clear();
    m_bOverflowShown = false;
    if (PortOpen()) {
        m_pPort->readAll();
        m_pPort->clear(QSerialPort::Input);
    }
    return {};
}

CommError MSComm::SetInputMode(int nMode) {
    if (nMode != comInputModeText && nMode != comInputModeBinary)
        return Error(comInvalidPropertyValue);
    m_nInputMode = nMode;
    return {};
}

CommError MSComm::SetRThreshold(int nThreshold) {
    if (nThreshold < 0 || nThreshold > kMaxShort)
        return Error(comInvalidPropertyValue);
    m_nRThreshold = nThreshold;
    return {};
}

bool MSComm::PortOpen() const {
    return m_pPort->isOpen();
}

CommError MSComm::SetPortOpen(bool bOpen) {
    if (!bOpen) {
        if (PortOpen())
            m_pPort->close();
        m_baInBuffer.clear();
        return {};
    }
    if (PortOpen())
        return Error(comPortAlreadyOpen);

    const QString strPath = DevicePath(m_nCommPort);
#ifndef Q_OS_WIN
    if (!QFileInfo::exists(strPath))
        return Error(comPortInvalid);
#endif
    m_pPort->setPortName(strPath);
    if (!ApplyLineSettings())
        return Error(comSetCommStateFailed);
    if (!m_pPort->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError e = m_pPort->error();
        m_pPort->clearError();
        if (e == QSerialPort::PermissionError)
            return Error(comPortInUse);
        if (e == QSerialPort::DeviceNotFoundError)
            return Error(comPortInvalid);
        return Error(comSetCommStateFailed);
    }
    if (!ApplyHandshaking()) {
        m_pPort->close();
        return Error(comSetCommStateFailed);
    }
    ApplyDTR();
    m_baInBuffer.clear();
    m_bOverflowShown = false;
    m_bHaveCounters = ReadLineCounters(m_counters);
    return {};
}

QVariant MSComm::Input(CommError* pError) {
    if (!PortOpen()) {
        if (pError)
            *pError = Error(comPortNotOpen);
        return {};
    }
    if (pError)
        *pError = {};
    const qsizetype nTake =
        m_nInputLen == 0 ? m_baInBuffer.size() : qMin<qsizetype>(m_nInputLen, m_baInBuffer.size());
    const QByteArray baTaken = m_baInBuffer.left(nTake);
    m_baInBuffer.remove(0, nTake);
    ReadLater();
    if (m_nInputMode == comInputModeBinary)
        return baTaken;
    return CCodePage949::ToText(baTaken);
}

void MSComm::ReadPort() {
    // A handler of OnComm may delete this control (and the port with it).
    const QPointer<MSComm> pSelf(this);
    while (PortOpen() && m_pPort->bytesAvailable() > 0) {
        // Take only what the receive buffer has room for; the rest waits in
        // the port and is read once Input makes room.
        const qint64 nRoom = qint64{m_nInBufferSize} - qint64{m_baInBuffer.size()};
        if (nRoom <= 0) {
            if (!m_bOverflowShown) {
                m_bOverflowShown = true;
                Fire(comEventRxOver);
            }
            return;
        }
        const QByteArray baData = m_pPort->read(qMin(nRoom, kMaxReadChunk));
        m_baInBuffer.append(baData);

        LineCounters counters;
        QList<int> lineEvents;
        if (m_bHaveCounters && ReadLineCounters(counters)) {
            lineEvents = LineEvents(m_counters, counters);
            m_counters = counters;
        }

        // The bytes first, so an error box does not split the burst they
        // belong to.
        if (m_nRThreshold > 0 && m_baInBuffer.size() >= m_nRThreshold) {
            Fire(comEvReceive);
            if (!pSelf)
                return;
        }
        if (m_bEOFEnable && baData.contains(kEofByte)) {
            Fire(comEvEOF);
            if (!pSelf)
                return;
        }
        for (int nEvent : lineEvents) {
            Fire(nEvent);
            if (!pSelf)
                return;
        }
    }
}

void MSComm::ReadLater() {
    if (m_baInBuffer.size() < m_nInBufferSize)
        m_bOverflowShown = false;
    // QSerialPort signals only new arrivals, not bytes left in its buffer.
    if (PortOpen() && m_pPort->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &MSComm::ReadPort, Qt::QueuedConnection);
}

void MSComm::Fire(int nEvent) {
    m_nCommEvent = nEvent;
    emit OnComm();
}

bool MSComm::ApplyLineSettings() {
    LineSettings parsed;
    if (!ParseSettings(m_strSettings, parsed))
        return false;
    return m_pPort->setBaudRate(parsed.nBaud) && m_pPort->setParity(parsed.eParity) &&
           m_pPort->setDataBits(parsed.eDataBits) && m_pPort->setStopBits(parsed.eStopBits);
}

bool MSComm::ApplyHandshaking() {
    const bool bHardware = m_eHandshaking == comRTS || m_eHandshaking == comRTSXOnXOff;
    const bool bSoftware = m_eHandshaking == comXOnXoff || m_eHandshaking == comRTSXOnXOff;
    if (!m_pPort->setFlowControl(bHardware   ? QSerialPort::HardwareControl
                                 : bSoftware ? QSerialPort::SoftwareControl
                                             : QSerialPort::NoFlowControl))
        return false;
#ifdef Q_OS_LINUX
    // QSerialPort offers one kind of flow control at a time; add XON/XOFF to
    // RTS/CTS by hand.
    if (m_eHandshaking == comRTSXOnXOff && PortOpen()) {
        termios tio{};
        const int fd = static_cast<int>(m_pPort->handle());
        if (::tcgetattr(fd, &tio) != 0)
            return false;
        tio.c_iflag |= IXON | IXOFF;
        return ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
#endif
    return true;
}

void MSComm::ApplyDTR() {
    if (!PortOpen())
        return;
    // Pseudo-terminals and some adapters have no modem lines; that is no
    // reason to fail.
    m_pPort->setDataTerminalReady(m_bDTREnable);
    m_pPort->clearError();
}

bool MSComm::ReadLineCounters(LineCounters& counters) const {
#ifdef Q_OS_LINUX
    serial_icounter_struct icount{};
    if (!PortOpen() || ::ioctl(static_cast<int>(m_pPort->handle()), TIOCGICOUNT, &icount) != 0)
        return false;
    counters.nBreak = icount.brk;
    counters.nFrame = icount.frame;
    counters.nOverrun = icount.overrun;
    counters.nBufferOverrun = icount.buf_overrun;
    counters.nParity = icount.parity;
    return true;
#else
    Q_UNUSED(counters);
    return false;
#endif
}
