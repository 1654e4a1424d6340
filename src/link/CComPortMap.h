#pragma once

#include <QString>
#include <QStringList>

#include <map>

class ISettingsStore;

// Which device a port number of the serial settings string opens. On
// Windows "COMn" is the device itself. Elsewhere each COMn maps to a device
// path: the one stored under group "PORTS", key "COMn" when there is one,
// else the n-th serial port the machine has (adapters on USB first, then
// the built-in ports, each in numeric order), else /dev/ttyS(n-1), the
// traditional name of COMn.
class CComPortMap {
public:
    static constexpr const char* kGroup = "PORTS";

    explicit CComPortMap(ISettingsStore* store = nullptr) : m_pStore(store) {}

    QString DevicePath(int port) const;
    // Stores the device for COMn (an empty path removes the entry).
    void SetDevicePath(int port, const QString& path);
    // Session-only mapping that wins over the store (the command line's --com).
    void SetOverride(int port, const QString& path) { m_overrides[port] = path; }

    static QString DefaultDevicePath(int port);
    // The machine's serial devices in the order the defaults use.
    static QStringList EnumeratedPorts();
    // The order itself: USB adapters first, then by name with numbers
    // compared as numbers (ttyS2 before ttyS10).
    static void SortPorts(QStringList& paths);

private:
    ISettingsStore* m_pStore;
    std::map<int, QString> m_overrides;
};
