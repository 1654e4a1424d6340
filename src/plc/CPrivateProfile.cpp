#include "plc/CPrivateProfile.h"

#include "plc/CIniFile.h"

std::string CPrivateProfile::GetString(std::string_view section, std::string_view key,
                                       std::string_view def, const std::filesystem::path& path) {
    CIniFile ini;
    ini.Load(path);
    return ini.GetString(section, key, def);
}

bool CPrivateProfile::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value, const std::filesystem::path& path) {
    CIniFile ini;
    std::error_code ec;
    // An existing file that cannot be read is not overwritten with one value.
    if (!ini.Load(path) && std::filesystem::exists(path, ec))
        return false;
    ini.SetString(section, key, value);
    return ini.Save(path);
}
