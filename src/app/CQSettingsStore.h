#pragma once

#include "app/ISettingsStore.h"

#include <QSettings>

// The program's settings store: QSettings("Quillet", "QUILLET"), the
// registry on Windows and an INI file in the user's config folder elsewhere.
// Sections are QSettings groups.
class CQSettingsStore : public ISettingsStore {
public:
    CQSettingsStore();
    // A store over a given INI file (tests, portable installs).
    explicit CQSettingsStore(const QString& iniPath);

    std::optional<std::string> ReadValue(const std::string& section,
                                         const std::string& key) const override;
    void WriteText(const std::string& section, const std::string& key,
                   const std::string& value) override;
    void WriteInt(const std::string& section, const std::string& key, int value) override;
    void Sync() { m_settings.sync(); }
    // NoError, AccessError (the file cannot be read or written) or
    // FormatError (the file is damaged; what could be read is used).
    QSettings::Status GetStatus() const { return m_settings.status(); }
    QString FileName() const { return m_settings.fileName(); }
    // Copies a damaged file aside before the next save rewrites it; the
    // copy's path, or empty when there is nothing to keep or it failed.
    QString KeepDamagedCopy() const;

private:
    static QString KeyOf(const std::string& section, const std::string& key);
    mutable QSettings m_settings;
};
