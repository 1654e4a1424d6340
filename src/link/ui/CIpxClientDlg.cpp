#include "link/ui/CIpxClientDlg.h"

#include "link/CCp949.h"
#include "link/CLinkValueCheck.h"
#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"

#include <QGridLayout>
#include <QLineEdit>

CIpxClientDlg::CIpxClientDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(QStringLiteral("IPX CLIENT SETTING"));
    auto* grid = new QGridLayout;
    m_pNetwork = CDialogFields::AddUpperEdit(grid, 0, QStringLiteral("NETWORK :"), 1001);
    m_pNode = CDialogFields::AddUpperEdit(grid, 1, QStringLiteral("NODE :"), 1094);
    m_pSocket = CDialogFields::AddUpperEdit(grid, 2, QStringLiteral("SOCKET  :"), 1095);

    CDialogFields::LayOut(
        this, grid, [this] { TryAccept(); }, false);
}

std::size_t CIpxClientDlg::LengthOf(const std::string& utf8) {
    return CCp949::FromUtf8(utf8).size();
}

void CIpxClientDlg::SetValues(const LinkSettings& settings) {
    m_strNetwork = settings.m_strNetwork;
    m_strNode = settings.m_strNode;
    m_strSocket = settings.m_strSocket;
    m_pNetwork->setText(QString::fromStdString(m_strNetwork));
    m_pNode->setText(QString::fromStdString(m_strNode));
    m_pSocket->setText(QString::fromStdString(m_strSocket));
}

void CIpxClientDlg::GetValues(LinkSettings& settings) const {
    settings.m_strNetwork = m_strNetwork;
    settings.m_strNode = m_strNode;
    settings.m_strSocket = m_strSocket;
}

bool CIpxClientDlg::CheckHex(QWidget* dialog, QLineEdit* edit, const std::string& text,
                             std::size_t digits, const char* lengthMessage,
                             const char* digitsMessage) {
    const char* problem = nullptr;
    if (LengthOf(text) != digits)
        problem = lengthMessage;
    else if (!CLinkValueCheck::IsHex(text, digits))
        problem = digitsMessage;
    if (!problem)
        return true;
    CDialogFields::Complain(dialog, edit, QString::fromUtf8(problem));
    return false;
}

bool CIpxClientDlg::CheckSocket(QWidget* dialog, QLineEdit* edit, const std::string& socket) {
    if (!CheckHex(dialog, edit, socket, CLinkValueCheck::kSocketDigits, kSocketLength,
                  kSocketDigits))
        return false;
    if (!CLinkValueCheck::IsIpxSocket(socket)) {
        CDialogFields::Complain(dialog, edit, QString::fromUtf8(kSocketZero));
        return false;
    }
    return true;
}

bool CIpxClientDlg::TryAccept() {
    const std::string network = m_pNetwork->text().toStdString();
    const std::string node = m_pNode->text().toStdString();
    const std::string socket = m_pSocket->text().toStdString();
    if (!CheckHex(this, m_pNetwork, network, CLinkValueCheck::kNetworkDigits, kNetworkLength,
                  kNetworkDigits) ||
        !CheckHex(this, m_pNode, node, CLinkValueCheck::kNodeDigits, kNodeLength, kNodeDigits) ||
        !CheckSocket(this, m_pSocket, socket))
        return false;
    m_strNetwork = network;
    m_strNode = node;
    m_strSocket = socket;
    accept();
    return true;
}
