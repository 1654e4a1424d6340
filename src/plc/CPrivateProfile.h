#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The two profile calls as the screens use them: every call reads the file
// anew, and a write rewrites it. For many values at once use CIniFile.
class CPrivateProfile {
public:
    static std::string GetString(std::string_view section, std::string_view key,
                                 std::string_view def, const std::filesystem::path& path);
    // False when the file could not be written.
    static bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                            const std::filesystem::path& path);
};
