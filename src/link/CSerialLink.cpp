#include "link/CSerialLink.h"

#include "link/CComPortMap.h"
#include "link/CLinkManager.h"

#include <QSerialPort>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

CSerialLink::CSerialLink(CLinkManager* owner, const CComPortMap& ports)
    : m_pOwner(owner), m_ports(ports), m_pPort(new QSerialPort(this)) {}

CSerialLink::~CSerialLink() {
    Close();
}

void CSerialLink::Configure(const std::string& text) {
    m_strEnv = text;
    m_settings.Configure(text);
}

QString CSerialLink::GetDevicePath() const {
    return m_ports.DevicePath(m_settings.m_nPort);
}

bool CSerialLink::ApplyState() {
    QSerialPort::Parity parity = QSerialPort::NoParity;
    if (m_settings.m_nParity == CSerialSettings::PARITY_EVEN)
        parity = QSerialPort::EvenParity;
    else if (m_settings.m_nParity == CSerialSettings::PARITY_ODD)
        parity = QSerialPort::OddParity;
    if (m_settings.m_nDataBits < 5 || m_settings.m_nDataBits > 8 || m_settings.m_nBaud <= 0)
        return false;
    // There is no DSR/DTR output handshake here; CTS/RTS is the hardware one.
    const QSerialPort::FlowControl flow =
        (m_settings.m_nCtsRts & 1) ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl;
    return m_pPort->setBaudRate(m_settings.m_nBaud) &&
           m_pPort->setDataBits(static_cast<QSerialPort::DataBits>(m_settings.m_nDataBits)) &&
           m_pPort->setParity(parity) &&
           m_pPort->setStopBits(m_settings.m_nStopBits == CSerialSettings::STOP_TWO
                                    ? QSerialPort::TwoStop
                                    : QSerialPort::OneStop) &&
           m_pPort->setFlowControl(flow);
}

void CSerialLink::SetFailure(const QString& reason) {
    QString text = QStringLiteral("COM%1").arg(m_settings.m_nPort);
    const QString path = GetDevicePath();
    if (!path.isEmpty())
        text += QStringLiteral(" (%1)").arg(path);
    m_strFailure = (text + QStringLiteral(": ") + reason).toStdString();
}

bool CSerialLink::Open() {
    if (m_bOpen)
        return false;
    m_strFailure.clear();
    const QString path = GetDevicePath();
    if (path.isEmpty()) {
        SetFailure(QStringLiteral("no device for this port"));
        return false;
    }
    m_pPort->setPortName(path);
    if (!m_pPort->open(QIODevice::ReadWrite)) {
        SetFailure(m_pPort->errorString());
        return false;
    }
    if (!ApplyState()) {
        QString reason =
            QStringLiteral("the settings %1 were refused").arg(QString::fromStdString(m_strEnv));
        if (m_pPort->error() != QSerialPort::NoError)
            reason += QStringLiteral(": ") + m_pPort->errorString();
        SetFailure(reason);
        m_pPort->close();
        return false;
    }
    m_bOpen = true;
    connect(m_pPort, &QSerialPort::readyRead, this, &CSerialLink::OnRxChar);
    connect(m_pPort, &QSerialPort::errorOccurred, this, &CSerialLink::OnPortError);
    // A pseudo-terminal refuses modem lines; that is no reason to fail.
    // With the DSR/DTR handshake asked for, DTR is left to the line.
    if (m_settings.m_nDsrDtr == 0)
        m_pPort->setDataTerminalReady(true);
    m_pPort->clearError();
    return true;
}

void CSerialLink::Close() {
    if (!m_bOpen)
        return;
    m_bOpen = false;
    disconnect(m_pPort, nullptr, this, nullptr);
    m_pPort->setDataTerminalReady(false);
    m_pPort->clear();
    m_pPort->close();
}

qint64 CSerialLink::QueuedOutput() const {
    qint64 queued = m_pPort->bytesToWrite();
#if defined(Q_OS_UNIX) && defined(TIOCOUTQ)
    int driver = 0;
    if (::ioctl(static_cast<int>(m_pPort->handle()), TIOCOUTQ, &driver) == 0 && driver > 0)
        queued += driver;
#endif
    return queued;
}

int CSerialLink::Write(const std::uint8_t* bytes, int count) {
    if (!m_bOpen)
        return -1;
    if (count <= 0 || !bytes)
        return 0;
    if (QueuedOutput() >= kMaxQueuedBytes)
        return 0;
    const qint64 written = m_pPort->write(reinterpret_cast<const char*>(bytes), count);
    return written == count ? count : 0;
}

int CSerialLink::Read(std::uint8_t* buffer, int capacity) {
    if (!m_bOpen)
        return -1;
    if (capacity <= 0)
        return 0;
    const qint64 n = m_pPort->read(reinterpret_cast<char*>(buffer), capacity);
    return n < 0 ? 0 : static_cast<int>(n);
}

// A device that went away (an unplugged adapter, a closed far end) takes
// the link down. Reading then fails at every notification, so the port
// would otherwise stay "up" while the event loop spins on it.
void CSerialLink::OnPortError(int error) {
    if (!m_bOpen || (error != QSerialPort::ResourceError && error != QSerialPort::ReadError))
        return;
    CBusy busy(this);
    SetFailure(QStringLiteral("the device went away (%1)").arg(m_pPort->errorString()));
    Close();
    m_pOwner->OnSerialLost();
}

void CSerialLink::OnRxChar() {
    CBusy busy(this);
    // Everything waiting goes up in blocks of at most 4096 bytes; stop as
    // soon as the link was closed from inside the delivery.
    std::uint8_t buffer[kQueueBytes];
    while (m_bOpen && m_pPort->bytesAvailable() > 0) {
        const int n = Read(buffer, kQueueBytes);
        if (n <= 0)
            break;
        m_pOwner->OnSerialData(buffer, n);
    }
    if (m_bOpen && m_pPort->error() != QSerialPort::NoError)
        m_pPort->clearError(); // line errors are cleared, not reported
}
