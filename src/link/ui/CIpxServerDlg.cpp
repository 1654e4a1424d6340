#include "link/ui/CIpxServerDlg.h"

#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"
#include "link/ui/CIpxClientDlg.h"

#include <QGridLayout>
#include <QLineEdit>

CIpxServerDlg::CIpxServerDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("IPX SERVER SETTING"));
    auto* grid = new QGridLayout;
    m_pSocket = CDialogFields::AddUpperEdit(grid, 0, QStringLiteral("SOCKET  :"), 1095);

    CDialogFields::LayOut(
        this, grid, [this] { TryAccept(); }, false);
}

void CIpxServerDlg::SetValues(const LinkSettings& settings) {
    m_strSocket = settings.m_strSocket;
    m_pSocket->setText(QString::fromStdString(m_strSocket));
}

void CIpxServerDlg::GetValues(LinkSettings& settings) const {
    settings.m_strSocket = m_strSocket;
}

bool CIpxServerDlg::TryAccept() {
    const std::string socket = m_pSocket->text().toStdString();
    if (!CIpxClientDlg::CheckSocket(this, m_pSocket, socket))
        return false;
    m_strSocket = socket;
    accept();
    return true;
}
