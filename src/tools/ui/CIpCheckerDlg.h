#pragma once

#include "widgets/CBackgroundDialog.h"

#include <memory>

class IIpSource;
class QLineEdit;
class QListWidget;
class QPushButton;

// "IP CHECKER": the user's name, the host name and its IPv4 addresses, and
// the computers of the network neighbourhood with their first IPv4 address,
// so that two users can tell each other what to type for a link. Opening,
// "REFRESH" and Enter fill it all again. Nothing it asks can hold the
// window: the neighbourhood comes in when its look is done, within about
// two seconds.
class CIpCheckerDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_USER = 1041,
        IDC_HOST = 1042,
        IDC_OWN_IPS = 1085,
        IDC_NEIGHBOURS = 1086,
        IDC_REFRESH = 1087,
    };

    // Asks the system.
    explicit CIpCheckerDlg(QWidget* parent = nullptr);
    // Asks the given source (a test's fake).
    CIpCheckerDlg(std::unique_ptr<IIpSource> source, QWidget* parent = nullptr);
    ~CIpCheckerDlg() override;

    void Refresh();

    QLineEdit* UserBox() const { return m_pUser; }
    QLineEdit* HostBox() const { return m_pHost; }
    QListWidget* OwnAddressList() const { return m_pOwn; }
    QListWidget* NeighbourList() const { return m_pNeighbours; }
    QPushButton* RefreshButton() const { return m_pRefresh; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Build();

    std::unique_ptr<IIpSource> m_pSource;
    QLineEdit* m_pUser = nullptr;
    QLineEdit* m_pHost = nullptr;
    QListWidget* m_pOwn = nullptr;
    QListWidget* m_pNeighbours = nullptr;
    QPushButton* m_pRefresh = nullptr;
};
