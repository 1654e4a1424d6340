#include "link/ui/CTcpServerDlg.h"

#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"
#include "link/ui/CEnterConfirms.h"

#include <QGridLayout>
#include <QLineEdit>

CTcpServerDlg::CTcpServerDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("TCP SERVER SETTING"));
    auto* grid = new QGridLayout;
    m_pPort = CDialogFields::AddEdit(grid, 0, QStringLiteral("PORT SET  :"), 1032);

    CDialogFields::LayOut(
        this, grid, [this] { TryAccept(); }, false);

    CEnterConfirms::Install(this, [this] { TryAccept(); });
}

void CTcpServerDlg::SetValues(const LinkSettings& settings) {
    m_nPort = settings.m_nPort;
    m_pPort->setText(QString::number(m_nPort));
}

void CTcpServerDlg::GetValues(LinkSettings& settings) const {
    settings.m_nPort = m_nPort;
}

bool CTcpServerDlg::TryAccept() {
    if (!CDialogFields::ReadPort(this, m_pPort, m_nPort))
        return false;
    accept();
    return true;
}
