#pragma once

#include "widgets/CBackgroundDialog.h"

#include <string>

struct LinkSettings;
class QLineEdit;

// "UDP SETTING": the local port the datagram socket binds to, and the host
// and port datagrams go to.
class CUdpDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    explicit CUdpDlg(QWidget* parent = nullptr);

    // Fills the edits from m_nUdpPort, m_strIp and m_nPort / copies the
    // confirmed values back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // The "확인" path: both ports must be integers. Returns whether the
    // dialog closed.
    bool TryAccept();

    int m_nUdpPort = 0;
    std::string m_strIp;
    int m_nPort = 0;

private:
    QLineEdit* m_pUdpPort;
    QLineEdit* m_pIp;
    QLineEdit* m_pPort;
};
