#pragma once

#include "widgets/CBackgroundDialog.h"

#include <string>

struct LinkSettings;
class QLineEdit;

// "IPX SERVER SETTING": the socket number the server listens on, four hex
// digits.
class CIpxServerDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    explicit CIpxServerDlg(QWidget* parent = nullptr);

    // Fills the edit from m_strSocket / copies the confirmed socket back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // The "확인" path: only the length is checked. Returns whether the
    // dialog closed.
    bool TryAccept();

    std::string m_strSocket;

private:
    QLineEdit* m_pSocket;
};
