#pragma once

#include <optional>
#include <string>

// The per-user settings store (the registry on Windows, QSettings in the
// window program, an INI file for the command line). Values travel as text;
// a store that keeps integers natively writes them through WriteInt.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // nullopt when the key is missing or cannot be read.
    virtual std::optional<std::string> ReadValue(const std::string& section,
                                                 const std::string& key) const = 0;
    virtual void WriteText(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
    virtual void WriteInt(const std::string& section, const std::string& key, int value) = 0;
};
