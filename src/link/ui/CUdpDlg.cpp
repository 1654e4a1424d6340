#include "link/ui/CUdpDlg.h"

#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

CUdpDlg::CUdpDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("UDP SETTING"));

    auto* server = new QGroupBox(QStringLiteral("만들 서버 포트 설정"));
    auto* serverGrid = new QGridLayout(server);
    m_pUdpPort = CDialogFields::AddEdit(serverGrid, 0, QStringLiteral("PORT SET  :"), 1033);

    auto* target = new QGroupBox(QStringLiteral("접속할 포트와 IP 설정"));
    auto* targetGrid = new QGridLayout(target);
    m_pIp = CDialogFields::AddEdit(targetGrid, 0, QStringLiteral("IP SETTING:"), 1088);
    m_pPort = CDialogFields::AddEdit(targetGrid, 1, QStringLiteral("PORT SET  :"), 1089);

    auto* fields = new QVBoxLayout;
    fields->addWidget(server);
    fields->addWidget(target);
    CDialogFields::LayOut(
        this, fields, [this] { TryAccept(); }, true);
}

void CUdpDlg::SetValues(const LinkSettings& settings) {
    m_nUdpPort = settings.m_nUdpPort;
    m_strIp = settings.m_strIp;
    m_nPort = settings.m_nPort;
    m_pUdpPort->setText(QString::number(m_nUdpPort));
    m_pIp->setText(QString::fromStdString(m_strIp));
    m_pPort->setText(QString::number(m_nPort));
}

void CUdpDlg::GetValues(LinkSettings& settings) const {
    settings.m_nUdpPort = m_nUdpPort;
    settings.m_strIp = m_strIp;
    settings.m_nPort = m_nPort;
}

bool CUdpDlg::TryAccept() {
    int udpPort = m_nUdpPort;
    int port = m_nPort;
    if (!CDialogFields::ReadPort(this, m_pUdpPort, udpPort) ||
        !CDialogFields::ReadPort(this, m_pPort, port))
        return false;
    m_nUdpPort = udpPort;
    m_strIp = m_pIp->text().toStdString();
    m_nPort = port;
    accept();
    return true;
}
