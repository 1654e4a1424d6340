#pragma once

#include "userproto/UserRequestRow.h"

#include <filesystem>
#include <string>
#include <vector>

class CIniFile;

// The rows of the user-protocol screen in "user_plc.ini": sections
// "USER_INI0", "USER_INI1", ... with the keys DATATYPE, SENDCHOOSE, DATA,
// SENDBYTE and WAITTIME, closed by a section whose DATATYPE is empty. The
// same save, load and count rules as the PLC files, with DATATYPE where
// those have COMMTYPE.
class CUserSettingsFile {
public:
    static constexpr const char* kFileName = "user_plc.ini";
    static constexpr const char* kSectionPrefix = "USER_INI";
    static constexpr int kMaxRows = 9999;
    static constexpr int kColumns = 5;

    static const char* KeyName(int nColumn);
    static std::string SectionName(int nRow);
    // The file in the process's current directory, as it is now.
    static std::filesystem::path CurrentPath();

    // False when the file could not be written.
    static bool SaveRows(const std::filesystem::path& path,
                         const std::vector<std::vector<std::string>>& rows);
    // The grid's texts up to the first empty DATATYPE; error gets why the
    // file could not be read (empty when it was).
    static std::vector<std::vector<std::string>> LoadRows(const std::filesystem::path& path,
                                                          std::string* error = nullptr);
    static std::vector<UserRequestRow> ReadRows(const std::filesystem::path& path,
                                                std::string* error = nullptr);
    static int CountRows(const CIniFile& ini);
};
