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
    // FormatError (the file is damaged; what could be read is used). Qt's
    // reader takes almost anything, so a file that is no INI text at all
    // (random bytes, binary junk) counts as damaged too.
    QSettings::Status GetStatus() const;
    QString FileName() const { return m_settings.fileName(); }
    // Copies a damaged file aside before the next save rewrites it; the
    // copy's path, or empty when there is nothing to keep or it failed.
    QString KeepDamagedCopy() const;

    // False for INI text: blank lines, comments, [sections] and key=value
    // lines in UTF-8.
    static bool LooksDamaged(const QByteArray& bytes);

private:
    static QString KeyOf(const std::string& section, const std::string& key);
    mutable QSettings m_settings;
    bool m_bDamaged = false; // as found when the store was made
};
