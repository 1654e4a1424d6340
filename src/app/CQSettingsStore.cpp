#include "app/CQSettingsStore.h"

#include <QFile>
#include <QStringList>

CQSettingsStore::CQSettingsStore()
    : m_settings(QStringLiteral("Quillet"), QStringLiteral("QUILLET")) {}

CQSettingsStore::CQSettingsStore(const QString& iniPath)
    : m_settings(iniPath, QSettings::IniFormat) {}

QString CQSettingsStore::KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

std::optional<std::string> CQSettingsStore::ReadValue(const std::string& section,
                                                      const std::string& key) const {
    const QVariant v = m_settings.value(KeyOf(section, key));
    if (!v.isValid())
        return std::nullopt;
    // An INI value typed by hand without quotes is split at its commas
    // (ENV=1,9600,N,8,1,0,0): put the text back together.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(',')).toStdString();
    if (!v.canConvert<QString>())
        return std::nullopt;
    return v.toString().toStdString();
}

void CQSettingsStore::WriteText(const std::string& section, const std::string& key,
                                const std::string& value) {
    m_settings.setValue(KeyOf(section, key), QString::fromStdString(value));
}

void CQSettingsStore::WriteInt(const std::string& section, const std::string& key, int value) {
    m_settings.setValue(KeyOf(section, key), value);
}

QString CQSettingsStore::KeepDamagedCopy() const {
    // In the registry (Windows) the "file name" is no file and is skipped.
    const QString source = m_settings.fileName();
    if (m_settings.status() != QSettings::FormatError || !QFile::exists(source))
        return {};
    const QString copy = source + QStringLiteral(".damaged");
    QFile::remove(copy);
    return QFile::copy(source, copy) ? copy : QString();
}
