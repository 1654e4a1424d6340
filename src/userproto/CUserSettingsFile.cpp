#include "userproto/CUserSettingsFile.h"

#include "plc/CIniFile.h"
#include "plc/CPlcSettingsFile.h"

namespace {

constexpr const char* kKeys[CUserSettingsFile::kColumns] = {"DATATYPE", "SENDCHOOSE", "DATA",
                                                            "SENDBYTE", "WAITTIME"};

} // namespace

const char* CUserSettingsFile::KeyName(int nColumn) {
    return nColumn >= 0 && nColumn < kColumns ? kKeys[nColumn] : "";
}

std::string CUserSettingsFile::SectionName(int nRow) {
    return kSectionPrefix + std::to_string(nRow);
}

std::filesystem::path CUserSettingsFile::CurrentPath() {
    std::error_code error;
    std::filesystem::path dir = std::filesystem::current_path(error);
    return (error ? std::filesystem::path(".") : dir) / kFileName;
}

int CUserSettingsFile::CountRows(const CIniFile& ini) {
    for (int k = 0; k < kMaxRows; ++k) {
        if (ini.GetString(SectionName(k), kKeys[0]).empty())
            return k;
    }
    return kMaxRows;
}

bool CUserSettingsFile::SaveRows(const std::filesystem::path& path,
                                 const std::vector<std::vector<std::string>>& rows) {
    // Whatever else the file holds stays, as the profile calls leave it.
    CIniFile ini;
    ini.Load(path);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string section = SectionName(static_cast<int>(i));
        for (std::size_t c = 0; c < kColumns; ++c)
            ini.SetString(section, kKeys[c], c < rows[i].size() ? rows[i][c] : "");
    }
    ini.SetString(SectionName(static_cast<int>(rows.size())), kKeys[0], "");
    return ini.Save(path);
}

std::vector<std::vector<std::string>> CUserSettingsFile::LoadRows(const std::filesystem::path& path,
                                                                  std::string* error) {
    CIniFile ini;
    ini.Load(path);
    if (error)
        *error = ini.GetLoadError();
    const int n = CountRows(ini);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::vector<std::string> cells;
        for (const char* key : kKeys)
            cells.push_back(ini.GetString(SectionName(i), key));
        rows.push_back(std::move(cells));
    }
    return rows;
}

std::vector<UserRequestRow> CUserSettingsFile::ReadRows(const std::filesystem::path& path,
                                                        std::string* error) {
    std::vector<UserRequestRow> rows;
    for (std::vector<std::string>& cells : LoadRows(path, error)) {
        UserRequestRow row;
        row.m_strDataType = cells[0];
        row.m_strSendChoose = cells[1];
        row.m_strData = cells[2];
        row.m_nReceiveCount = CPlcSettingsFile::ParseDecimal(cells[3]);
        row.m_nWaitTime = CPlcSettingsFile::ParseDecimal(cells[4]);
        row.m_cells = std::move(cells);
        rows.push_back(std::move(row));
    }
    return rows;
}
