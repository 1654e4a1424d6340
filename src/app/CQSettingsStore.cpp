#include "app/CQSettingsStore.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

namespace {

// Whether the file at the path is there and no INI text. In the registry
// (Windows) the "file name" is no file and is never damaged.
bool FileLooksDamaged(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return CQSettingsStore::LooksDamaged(file.readAll());
}

} // namespace

CQSettingsStore::CQSettingsStore()
    : m_settings(QStringLiteral("Quillet"), QStringLiteral("QUILLET")),
      m_bDamaged(FileLooksDamaged(m_settings.fileName())) {}

CQSettingsStore::CQSettingsStore(const QString& iniPath)
    : m_settings(iniPath, QSettings::IniFormat), m_bDamaged(FileLooksDamaged(iniPath)) {}

QSettings::Status CQSettingsStore::GetStatus() const {
    const QSettings::Status status = m_settings.status();
    if (status == QSettings::NoError && m_bDamaged)
        return QSettings::FormatError;
    return status;
}

bool CQSettingsStore::LooksDamaged(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return true;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')) || line.contains(QLatin1Char('=')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            continue;
        return true;
    }
    return false;
}

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
    if (GetStatus() != QSettings::FormatError || !QFile::exists(source))
        return {};
    const QString copy = source + QStringLiteral(".damaged");
    QFile::remove(copy);
    return QFile::copy(source, copy) ? copy : QString();
}
