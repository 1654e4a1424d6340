#pragma once

#include "widgets/CBackgroundDialog.h"

#include <string>

struct LinkSettings;
class QLineEdit;

// "TCP CLIENT SETTING": the host to connect to and its port.
class CTcpClientDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    explicit CTcpClientDlg(QWidget* parent = nullptr);

    // Fills the edits from m_strIp and m_nPort / copies the confirmed values
    // back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // The "확인" path: the host is taken as typed, the port must be an
    // integer. Returns whether the dialog closed.
    bool TryAccept();

    std::string m_strIp;
    int m_nPort = 0;

private:
    QLineEdit* m_pIp;
    QLineEdit* m_pPort;
};
