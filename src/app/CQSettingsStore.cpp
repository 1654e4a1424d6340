#include "app/CQSettingsStore.h"

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
    if (!v.isValid() || !v.canConvert<QString>())
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
