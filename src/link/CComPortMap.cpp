#include "link/CComPortMap.h"

#include "app/ISettingsStore.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <string>

namespace {

std::string KeyOf(int port) {
    return "COM" + std::to_string(port);
}

// Compares runs of digits by value, everything else character by character.
bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const qulonglong na = a.mid(i, ei - i).toULongLong();
            const qulonglong nb = b.mid(j, ej - j).toULongLong();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool IsUsbAdapter(const QString& path) {
    return path.contains(QLatin1String("ttyUSB")) || path.contains(QLatin1String("ttyACM"));
}

} // namespace

QString CComPortMap::DevicePath(int port) const {
    if (port <= 0)
        return {};
    if (auto it = m_overrides.find(port); it != m_overrides.end())
        return it->second;
    if (m_pStore) {
        if (auto stored = m_pStore->ReadValue(kGroup, KeyOf(port)); stored && !stored->empty())
            return QString::fromStdString(*stored);
    }
    return DefaultDevicePath(port);
}

void CComPortMap::SetDevicePath(int port, const QString& path) {
    if (m_pStore && port > 0)
        m_pStore->WriteText(kGroup, KeyOf(port), path.toStdString());
}

QString CComPortMap::DefaultDevicePath(int port) {
    if (port <= 0)
        return {};
#ifdef _WIN32
    return QStringLiteral("COM%1").arg(port);
#else
    const QStringList ports = EnumeratedPorts();
    if (port <= ports.size())
        return ports[port - 1];
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QStringList CComPortMap::EnumeratedPorts() {
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    SortPorts(paths);
    return paths;
}

void CComPortMap::SortPorts(QStringList& paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) {
        const bool ua = IsUsbAdapter(a);
        const bool ub = IsUsbAdapter(b);
        if (ua != ub)
            return ua;
        return NaturalLess(a, b);
    });
}
