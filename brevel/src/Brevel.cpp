#include "Brevel.h"

#include "CCodePage949.h"
#include "IPropertyBag.h"

#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kTimerIntervalMs = 10;
constexpr qint16 kQuietTicks = 4; // the event goes on the tick after the fourth

// Defaults of the persisted properties; a value equal to one is not stored.
constexpr int kDefaultCommPort = 1;
constexpr bool kDefaultDTREnable = true;
constexpr bool kDefaultEOFEnable = false;
constexpr int kDefaultHandshaking = MSComm::comNone;
constexpr int kDefaultInBufferSize = 1024;
constexpr int kDefaultInputLen = 0;
const char* const kDefaultSettings = "9600,n,8,1";

QString LineErrorText(int nEvent) {
    switch (nEvent) {
    case MSComm::comEventBreak:
        return QStringLiteral("중지 신호 수신");
    case MSComm::comEventCTSTO:
        return QStringLiteral("CTS 시간 초과");
    case MSComm::comEventDSRTO:
        return QStringLiteral("DSR 시간 초과");
    case MSComm::comEventFrame:
        return QStringLiteral("프레이밍 오류");
    case MSComm::comEventOverrun:
        return QStringLiteral("데이터 손실");
    case MSComm::comEventCDTO:
        return QStringLiteral("CD (RLSD) 시간 초과");
    case MSComm::comEventRxOver:
        return QStringLiteral("수신 버퍼 초과");
    case MSComm::comEventRxParity:
        return QStringLiteral("패리티 오류");
    case MSComm::comEventTxFull:
        return QStringLiteral("전송 버퍼 꽉 참");
    case MSComm::comEventDCB:
        return QStringLiteral("DCB 검색 중 예기치 못한 오류");
    default:
        return {};
    }
}

} // namespace

Brevel::Brevel(QWidget* pParent)
    : QWidget(pParent), m_pMSComm1(new MSComm(this)), m_pTimer1(new QTimer(this)),
      m_pLabel1(new QLabel(QStringLiteral("Brevel"), this)) {
    m_pMSComm1->setObjectName(QStringLiteral("MSComm1"));
    m_pTimer1->setObjectName(QStringLiteral("Timer1"));
    m_pLabel1->setObjectName(QStringLiteral("Label1"));

    m_pTimer1->setInterval(kTimerIntervalMs);
    m_pTimer1->setTimerType(Qt::PreciseTimer);

    QFont font(QStringLiteral("Modern"));
    font.setStyleHint(QFont::TypeWriter); // where there is no "Modern", a fixed-pitch face
    font.setBold(true);
    m_pLabel1->setFont(font);
    m_pLabel1->adjustSize();
    m_pLabel1->move(0, 0);
    // The control is exactly its label, whatever size the host asks for.
    setFixedSize(m_pLabel1->size());

    connect(m_pMSComm1, &MSComm::OnComm, this, &Brevel::MSComm1OnComm);
    connect(m_pTimer1, &QTimer::timeout, this, &Brevel::Timer1Timer);
}

Brevel::~Brevel() = default;

QString Brevel::Settings() const {
    return m_pMSComm1->Settings();
}

void Brevel::setSettings(const QString& strSettings) {
    Changed("Settings", m_pMSComm1->SetSettings(strSettings));
}

int Brevel::InputLen() const {
    return m_pMSComm1->InputLen();
}

void Brevel::setInputLen(int nLen) {
    Changed("InputLen", m_pMSComm1->SetInputLen(nLen));
}

int Brevel::InBufferSize() const {
    return m_pMSComm1->InBufferSize();
}

void Brevel::setInBufferSize(int nSize) {
    Changed("InBufferSize", m_pMSComm1->SetInBufferSize(nSize));
}

MSComm::HandshakeConstants Brevel::Handshaking() const {
    return m_pMSComm1->Handshaking();
}

void Brevel::setHandshaking(MSComm::HandshakeConstants eHandshaking) {
    Changed("Handshaking", m_pMSComm1->SetHandshaking(eHandshaking));
}

bool Brevel::EOFEnable() const {
    return m_pMSComm1->EOFEnable();
}

void Brevel::setEOFEnable(bool bEnable) {
    Changed("EOFEnable", m_pMSComm1->SetEOFEnable(bEnable));
}

bool Brevel::DTREnable() const {
    return m_pMSComm1->DTREnable();
}

void Brevel::setDTREnable(bool bEnable) {
    Changed("DTREnable", m_pMSComm1->SetDTREnable(bEnable));
}

int Brevel::CommPort() const {
    return m_pMSComm1->CommPort();
}

void Brevel::setCommPort(int nPort) {
    Changed("CommPort", m_pMSComm1->SetCommPort(nPort));
}

void Brevel::Changed(const char* pszName, const CommError& error) {
    m_lastError = error;
    if (!error.Failed())
        emit PropertyChanged(QString::fromLatin1(pszName));
}

bool Brevel::PortOpen(bool bOpen) {
    if (!bOpen) {
        const CommError error = m_pMSComm1->SetPortOpen(false);
        if (error.Failed())
            ShowMessage(error.strDescription);
        return false;
    }
    // Both buffers emptied, bytes read as they are, a notification per arrival.
    CommError error = m_pMSComm1->SetOutBufferSize(1024);
    if (!error.Failed())
        error = m_pMSComm1->SetOutBufferCount(0);
    if (!error.Failed())
        error = m_pMSComm1->SetInBufferCount(0);
    if (!error.Failed())
        error = m_pMSComm1->SetInputMode(MSComm::comInputModeBinary);
    if (!error.Failed())
        error = m_pMSComm1->SetRThreshold(1);
    if (!error.Failed())
        error = m_pMSComm1->SetPortOpen(true);
    if (error.Failed()) {
        ShowMessage(error.strDescription);
        return false;
    }
    m_baBuffer.clear();
    return true;
}

bool Brevel::IsPortOpen() const {
    return m_pMSComm1->PortOpen();
}

QString Brevel::GetData() const {
    return m_strLastText;
}

CommError Brevel::ReadProperties(const IPropertyBag& bag) {
    CommError first;
    const auto keep = [&first](const CommError& error) {
        if (error.Failed() && !first.Failed())
            first = error;
    };
    keep(m_pMSComm1->SetCommPort(
        bag.ReadProperty(QStringLiteral("CommPort"), kDefaultCommPort).toInt()));
    keep(m_pMSComm1->SetDTREnable(
        bag.ReadProperty(QStringLiteral("DTREnable"), kDefaultDTREnable).toBool()));
    keep(m_pMSComm1->SetEOFEnable(
        bag.ReadProperty(QStringLiteral("EOFEnable"), kDefaultEOFEnable).toBool()));
    keep(m_pMSComm1->SetHandshaking(
        bag.ReadProperty(QStringLiteral("Handshaking"), kDefaultHandshaking).toInt()));
    keep(m_pMSComm1->SetInBufferSize(
        bag.ReadProperty(QStringLiteral("InBufferSize"), kDefaultInBufferSize).toInt()));
    keep(m_pMSComm1->SetInputLen(
        bag.ReadProperty(QStringLiteral("InputLen"), kDefaultInputLen).toInt()));
    keep(m_pMSComm1->SetSettings(
        bag.ReadProperty(QStringLiteral("Settings"), QString::fromLatin1(kDefaultSettings))
            .toString()));
    m_lastError = first;
    return first;
}

void Brevel::WriteProperties(IPropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("CommPort"), m_pMSComm1->CommPort(), kDefaultCommPort);
    bag.WriteProperty(QStringLiteral("DTREnable"), m_pMSComm1->DTREnable(), kDefaultDTREnable);
    bag.WriteProperty(QStringLiteral("EOFEnable"), m_pMSComm1->EOFEnable(), kDefaultEOFEnable);
    bag.WriteProperty(QStringLiteral("Handshaking"), static_cast<int>(m_pMSComm1->Handshaking()),
                      kDefaultHandshaking);
    bag.WriteProperty(QStringLiteral("InBufferSize"), m_pMSComm1->InBufferSize(),
                      kDefaultInBufferSize);
    bag.WriteProperty(QStringLiteral("InputLen"), m_pMSComm1->InputLen(), kDefaultInputLen);
    bag.WriteProperty(QStringLiteral("Settings"), m_pMSComm1->Settings(),
                      QString::fromLatin1(kDefaultSettings));
}

QSize Brevel::sizeHint() const {
    return m_pLabel1->size();
}

void Brevel::ShowMessage(const QString& strText) {
    // No parent: the box runs its own event loop, in which the host may
    // delete this control, and it must not take the box with it.
    const QPointer<QMessageBox> pBox =
        new QMessageBox(QMessageBox::Information, QStringLiteral("Brevel"), strText);
    pBox->exec();
    delete pBox.data();
}

void Brevel::MSComm1OnComm() {
    HandleCommEvent(m_pMSComm1->CommEvent());
}

// After a message box this control may be gone: nothing may follow one.
void Brevel::HandleCommEvent(int nEvent) {
    if (nEvent == MSComm::comEvReceive) {
        ReceiveStep();
        return;
    }
    const QString strText = LineErrorText(nEvent);
    if (!strText.isEmpty())
        ShowMessage(strText);
}

void Brevel::ReceiveStep() {
    // All buffered bytes, whatever InputLen says.
    QByteArray baBytes;
    while (m_pMSComm1->InBufferCount() > 0) {
        CommError error;
        const QByteArray baChunk = m_pMSComm1->Input(&error).toByteArray();
        if (error.Failed()) {
            ShowMessage(error.strDescription);
            return;
        }
        if (baChunk.isEmpty())
            break;
        baBytes.append(baChunk);
    }
    m_pTimer1->stop();
    m_nTick = 0;
    m_baBuffer.append(baBytes);
    m_pTimer1->start();
}

void Brevel::Timer1Timer() {
    if (m_nTick < kQuietTicks) {
        ++m_nTick;
        return;
    }
    const QString strText = CCodePage949::ToText(m_baBuffer);
    m_strLastText = strText;
    m_baBuffer.clear();
    m_pTimer1->stop();
    emit DataReceive(strText);
}
