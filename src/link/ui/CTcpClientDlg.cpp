#include "link/ui/CTcpClientDlg.h"

#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"
#include "link/ui/CEnterConfirms.h"

#include <QGridLayout>
#include <QLineEdit>

CTcpClientDlg::CTcpClientDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("TCP CLIENT SETTING"));
    auto* grid = new QGridLayout;
    m_pIp = CDialogFields::AddEdit(grid, 0, QStringLiteral("IP SETTING:"), 1000);
    m_pPort = CDialogFields::AddEdit(grid, 1, QStringLiteral("PORT SET  :"), 1032);

    CDialogFields::LayOut(
        this, grid, [this] { TryAccept(); }, false);

    CEnterConfirms::Install(this, [this] { TryAccept(); });
}

void CTcpClientDlg::SetValues(const LinkSettings& settings) {
    m_strIp = settings.m_strIp;
    m_nPort = settings.m_nPort;
    m_pIp->setText(QString::fromStdString(m_strIp));
    m_pPort->setText(QString::number(m_nPort));
}

void CTcpClientDlg::GetValues(LinkSettings& settings) const {
    settings.m_strIp = m_strIp;
    settings.m_nPort = m_nPort;
}

bool CTcpClientDlg::TryAccept() {
    int port = m_nPort;
    if (!CDialogFields::ReadPort(this, m_pPort, port))
        return false;
    m_strIp = m_pIp->text().toStdString();
    m_nPort = port;
    accept();
    return true;
}
