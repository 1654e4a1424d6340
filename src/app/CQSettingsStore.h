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

private:
    static QString KeyOf(const std::string& section, const std::string& key);
    mutable QSettings m_settings;
};
