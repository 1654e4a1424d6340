#include "link/ui/CSerialConfigDlg.h"

#include "link/CComPortMap.h"
#include "link/LinkSettings.h"
#include "link/ui/CDialogFields.h"
#include "link/ui/CEnterConfirms.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include <cstdio>

namespace {

constexpr int kBauds[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr char kParities[] = {'N', 'E', 'O'};
constexpr int kComCount = 6;

QComboBox* AddList(QGridLayout* grid, int row, const QString& label, int id,
                   const QStringList& items) {
    auto* list = new QComboBox;
    list->setObjectName(QString::number(id));
    list->addItems(items);
    auto* caption = new QLabel(label);
    caption->setBuddy(list);
    grid->addWidget(caption, row, 0);
    grid->addWidget(list, row, 1);
    return list;
}

// The list's own search: the first item whose text begins with the number.
void SelectStartingWith(QComboBox* list, int value) {
    list->setCurrentIndex(list->findText(QString::number(value), Qt::MatchStartsWith));
}

} // namespace

CSerialConfigDlg::CSerialConfigDlg(CComPortMap* ports, QWidget* parent)
    : CBackgroundDialog(parent), m_pPorts(ports) {
    setWindowTitle(QStringLiteral("CONFIG"));

    QStringList coms;
    for (int n = 1; n <= kComCount; ++n)
        coms << QStringLiteral("COM%1").arg(n);
    QStringList bauds;
    for (int baud : kBauds)
        bauds << QString::number(baud);

    auto* grid = new QGridLayout;
    m_pCom = AddList(grid, 0, QStringLiteral("COM"), 1011, coms);
    m_pBaud = AddList(grid, 1, QStringLiteral("Baud 속도"), 1012, bauds);
    m_pStop = AddList(grid, 2, QStringLiteral("Stop 비트"), 1013, {"1", "2"});
    m_pData = AddList(grid, 3, QStringLiteral("데이터 비트"), 1014, {"5", "6", "7", "8"});
    m_pParity = AddList(grid, 4, QStringLiteral("패리티"), 1015,
                        {QStringLiteral("없음"), QStringLiteral("짝수"), QStringLiteral("홀수")});

#ifdef _WIN32
    // COMn is the device itself there: nothing to map.
    m_pPorts = nullptr;
#endif
    if (m_pPorts) {
        m_pDevice = new QComboBox;
        m_pDevice->setObjectName(QStringLiteral("DevicePath"));
        m_pDevice->setEditable(true);
        m_pDevice->setInsertPolicy(QComboBox::NoInsert);
        m_pDevice->addItems(CComPortMap::EnumeratedPorts());
        m_pDevice->setMinimumContentsLength(16);
        auto* caption = new QLabel(QStringLiteral("장치"));
        caption->setBuddy(m_pDevice);
        grid->addWidget(caption, 0, 2);
        grid->addWidget(m_pDevice, 0, 3);
        grid->setColumnMinimumWidth(2, 8);
        connect(m_pCom, &QComboBox::currentIndexChanged, this, [this](int index) {
            KeepShownDevice();
            ShowDeviceOf(index + 1);
        });
    }

    CDialogFields::LayOut(
        this, grid, [this] { TryAccept(); }, true);

    CEnterConfirms::Install(this, [this] { TryAccept(); });
    Open(LinkSettings().m_strEnv);
}

void CSerialConfigDlg::SetValues(const LinkSettings& settings) {
    Open(settings.m_strEnv);
}

void CSerialConfigDlg::GetValues(LinkSettings& settings) const {
    settings.m_strEnv = m_strEnv;
}

void CSerialConfigDlg::Open(const std::string& env) {
    m_strEnv = env;
    // Fields the text does not hold keep the program's default string.
    int port = 1, baud = 9600, dataBits = 8, stopBits = 1, dsrDtr = 0, ctsRts = 0;
    char parity = 'N';
    std::sscanf(env.c_str(), "%d,%d,%c,%d,%d,%d,%d", &port, &baud, &parity, &dataBits, &stopBits,
                &dsrDtr, &ctsRts);
    m_nBaud = baud;
    m_cParity = parity;

    m_pCom->setCurrentIndex(port >= 1 && port <= kComCount ? port - 1 : -1);
    SelectStartingWith(m_pBaud, baud);
    int parityIndex = -1;
    for (int i = 0; i < 3; ++i)
        if (kParities[i] == parity)
            parityIndex = i;
    m_pParity->setCurrentIndex(parityIndex);
    SelectStartingWith(m_pData, dataBits);
    SelectStartingWith(m_pStop, stopBits);

    if (m_pDevice) {
        // The index may not have changed, so show the device here as well.
        m_devices.clear();
        m_nShownPort = 0;
        ShowDeviceOf(m_pCom->currentIndex() + 1);
    }
}

bool CSerialConfigDlg::TryAccept() {
    const int port = m_pCom->currentIndex() + 1;
    const int baudIndex = m_pBaud->currentIndex();
    const int baud = baudIndex >= 0 ? kBauds[baudIndex] : m_nBaud;
    const int parityIndex = m_pParity->currentIndex();
    const char parity = parityIndex >= 0 ? kParities[parityIndex] : m_cParity;
    const int dataBits = m_pData->currentIndex() + 5;
    const int stopBits = m_pStop->currentIndex() + 1;
    m_strEnv = Compose(port, baud, parity, dataBits, stopBits);

    if (m_pDevice) {
        KeepShownDevice();
        for (const auto& [n, path] : m_devices)
            if (path != m_devicesAtOpen[n])
                m_pPorts->SetDevicePath(n, path);
    }
    accept();
    return true;
}

std::string CSerialConfigDlg::Compose(int port, int baud, char parity, int dataBits, int stopBits) {
    std::string env = std::to_string(port);
    env.append(",").append(std::to_string(baud)).append(",");
    env.push_back(parity);
    env.append(",").append(std::to_string(dataBits));
    env.append(",").append(std::to_string(stopBits));
    env.append(",0,0");
    return env;
}

void CSerialConfigDlg::ShowDeviceOf(int port) {
    m_nShownPort = port;
    m_pDevice->setEnabled(port > 0);
    if (port <= 0) {
        m_pDevice->setEditText(QString());
        return;
    }
    if (!m_devicesAtOpen.count(port))
        m_devicesAtOpen[port] = m_pPorts->DevicePath(port);
    auto it = m_devices.find(port);
    m_pDevice->setEditText(it != m_devices.end() ? it->second : m_devicesAtOpen[port]);
}

void CSerialConfigDlg::KeepShownDevice() {
    if (m_nShownPort > 0)
        m_devices[m_nShownPort] = m_pDevice->currentText().trimmed();
}
