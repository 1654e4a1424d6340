#pragma once

#include "widgets/CBackgroundDialog.h"

#include <QString>

#include <map>
#include <string>

struct LinkSettings;
class CComPortMap;
class QComboBox;

// "CONFIG": the serial settings string edited through five drop-down lists,
// and, where ports are not named COMn, the device the chosen COMn opens.
class CSerialConfigDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    // ports may be null: the device row is then left out, as on Windows.
    explicit CSerialConfigDlg(CComPortMap* ports, QWidget* parent = nullptr);

    // Fills the lists from m_strEnv / copies the confirmed string back.
    void SetValues(const LinkSettings& settings);
    void GetValues(LinkSettings& settings) const;

    // Selects the list items the settings string names.
    void Open(const std::string& env);
    // The "확인" path: writes the string from the lists (handshake fields
    // always 0), stores changed device paths and closes. Always closes.
    bool TryAccept();

    static std::string Compose(int port, int baud, char parity, int dataBits, int stopBits);

    // The settings string, as opened and, after "확인", as confirmed.
    std::string m_strEnv;

private:
    void ShowDeviceOf(int port);
    void KeepShownDevice();

    CComPortMap* m_pPorts;
    QComboBox* m_pCom;
    QComboBox* m_pBaud;
    QComboBox* m_pStop;
    QComboBox* m_pData;
    QComboBox* m_pParity;
    QComboBox* m_pDevice = nullptr;

    // What the string held at opening; a list without a selection keeps
    // the baud rate and the parity letter from here.
    int m_nBaud = 9600;
    char m_cParity = 'N';

    // Device texts per port as the user left them, and as the map had them.
    int m_nShownPort = 0;
    std::map<int, QString> m_devices;
    std::map<int, QString> m_devicesAtOpen;
};
