#pragma once

#include "widgets/CBackgroundDialog.h"

struct LinkSettings;
class QLineEdit;

// "TCP SERVER SETTING": the port the server listens on.
class CTcpServerDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    explicit CTcpServerDlg(QWidget* parent = nullptr);

    // Fills the edit from m_nPort / copies the confirmed port back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // The "확인" path: checks the port and closes the dialog when it is an
    // integer. Returns whether the dialog closed.
    bool TryAccept();

    int m_nPort = 0;

private:
    QLineEdit* m_pPort;
};
