#include "plc/CPlcSettingsFile.h"

#include "plc/CIniFile.h"

#include <cctype>
#include <climits>

namespace {

using R = PlcRequestRow;

CPlcSettingsFile::SKey Text(const char* name, std::string R::*field) {
    return {name, nullptr, field};
}
CPlcSettingsFile::SKey Number(const char* name, int R::*field) {
    return {name, field, nullptr};
}

const std::vector<CPlcSettingsFile::SLayout>& Layouts() {
    static const std::vector<CPlcSettingsFile::SLayout> layouts = {
        {"yaskawa_plc.ini",
         "YASKAWA_INI",
         {Text("COMMTYPE", &R::m_strCommType), Number("SLAVEADDRESS", &R::m_nSlaveAddress),
          Text("PLCDEVICETYPE", &R::m_strDeviceType), Number("PLCADDRESS", &R::m_nPlcAddress),
          Number("DATACOUNT", &R::m_nDataCount), Number("ANINDEX", &R::m_nAnIndex)}},
        {"simens_plc.ini",
         "SIMENS_INI",
         {Text("COMMTYPE", &R::m_strCommType), Text("PLCDEVICETYPE", &R::m_strDeviceType),
          Number("DBADDRESS", &R::m_nDbAddress), Number("DWADDRESS", &R::m_nDwAddress),
          Number("DATACOUNT", &R::m_nDataCount), Number("ANINDEX", &R::m_nAnIndex)}},
        {"ab_plc.ini",
         "AB_INI",
         {Text("COMMTYPE", &R::m_strCommType), Text("PLCDEVICETYPE", &R::m_strDeviceType),
          Text("PLCDEVICENAME", &R::m_strDeviceName), Number("SRC", &R::m_nSrc),
          Number("DST", &R::m_nDst), Number("PLCADDRESS", &R::m_nPlcAddress),
          Number("DATACOUNT", &R::m_nDataCount), Number("ANINDEX", &R::m_nAnIndex)}},
        {"masterk_plc.ini",
         "MASTERK_INI",
         {Text("COMMTYPE", &R::m_strCommType), Number("STATIONNUM", &R::m_nStationNum),
          Text("PLCDEVICETYPE", &R::m_strDeviceType), Text("PLCDEVICENAME", &R::m_strDeviceName),
          Number("PLCADDRESS", &R::m_nPlcAddress), Number("DATACOUNT", &R::m_nDataCount),
          Number("ANINDEX", &R::m_nAnIndex)}},
        {"posfa_plc.ini",
         "POSFA_INI",
         {Text("COMMTYPE", &R::m_strCommType), Number("STATIONNUM", &R::m_nStationNum),
          Number("PLCNUM", &R::m_nPlcNum), Text("PLCDEVICETYPE", &R::m_strDeviceType),
          Text("PLCDEVICENAME", &R::m_strDeviceName), Number("PLCADDRESS", &R::m_nPlcAddress),
          Number("DATACOUNT", &R::m_nDataCount), Number("ANINDEX", &R::m_nAnIndex)}},
        {"melsec_plc.ini",
         "MELSEC_INI",
         {Text("COMMTYPE", &R::m_strCommType), Number("STATIONNUM", &R::m_nStationNum),
          Number("PLCNUM", &R::m_nPlcNum), Text("PLCDEVICETYPE", &R::m_strDeviceType),
          Text("PLCDEVICENAME", &R::m_strDeviceName), Number("PLCADDRESS", &R::m_nPlcAddress),
          Number("DATACOUNT", &R::m_nDataCount), Number("ANINDEX", &R::m_nAnIndex)}},
    };
    return layouts;
}

} // namespace

const CPlcSettingsFile::SLayout* CPlcSettingsFile::Layout(int nPlc) {
    if (nPlc < PLC_YASKAWA || nPlc > PLC_MELSEC)
        return nullptr;
    return &Layouts()[static_cast<std::size_t>(nPlc - PLC_YASKAWA)];
}

CPlcSettingsFile::CPlcSettingsFile(int nPlc) : m_pLayout(Layout(nPlc)) {}

std::filesystem::path CPlcSettingsFile::CurrentPath() const {
    std::error_code error;
    std::filesystem::path dir = std::filesystem::current_path(error);
    return (error ? std::filesystem::path(".") : dir) / (m_pLayout ? m_pLayout->m_szFileName : "");
}

std::string CPlcSettingsFile::SectionName(int nRow) const {
    return std::string(m_pLayout ? m_pLayout->m_szSectionPrefix : "") + std::to_string(nRow);
}

int CPlcSettingsFile::CountRows(const CIniFile& ini) const {
    if (!m_pLayout)
        return 0;
    for (int k = 0; k < kMaxRows; ++k) {
        if (ini.GetString(SectionName(k), "COMMTYPE").empty())
            return k;
    }
    return kMaxRows;
}

bool CPlcSettingsFile::IsCut(const CIniFile& ini) const {
    return CountRows(ini) == kMaxRows && !ini.GetString(SectionName(kMaxRows), "COMMTYPE").empty();
}

bool CPlcSettingsFile::SaveRows(const std::filesystem::path& path,
                                const std::vector<std::vector<std::string>>& rows) const {
    if (!m_pLayout)
        return false;
    // What the file holds beyond the rows written stays, as the profile
    // calls would leave it.
    CIniFile ini;
    ini.Load(path);
    const auto& keys = m_pLayout->m_keys;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string section = SectionName(static_cast<int>(i));
        for (std::size_t c = 0; c < keys.size(); ++c)
            ini.SetString(section, keys[c].m_szName, c < rows[i].size() ? rows[i][c] : "");
    }
    ini.SetString(SectionName(static_cast<int>(rows.size())), "COMMTYPE", "");
    return ini.Save(path);
}

std::vector<std::vector<std::string>> CPlcSettingsFile::LoadRows(const std::filesystem::path& path,
                                                                 SReadInfo* pInfo) const {
    std::vector<std::vector<std::string>> rows;
    if (!m_pLayout)
        return rows;
    CIniFile ini;
    ini.Load(path);
    if (pInfo)
        *pInfo = {ini.GetLoadError(), IsCut(ini)};
    const int n = CountRows(ini);
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::string section = SectionName(i);
        std::vector<std::string> cells;
        for (const SKey& key : m_pLayout->m_keys)
            cells.push_back(ini.GetString(section, key.m_szName));
        rows.push_back(std::move(cells));
    }
    return rows;
}

std::vector<PlcRequestRow> CPlcSettingsFile::ReadRows(const std::filesystem::path& path,
                                                      SReadInfo* pInfo) const {
    std::vector<PlcRequestRow> rows;
    if (!m_pLayout)
        return rows;
    CIniFile ini;
    ini.Load(path);
    if (pInfo)
        *pInfo = {ini.GetLoadError(), IsCut(ini)};
    const int n = CountRows(ini);
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::string section = SectionName(i);
        PlcRequestRow row;
        for (const SKey& key : m_pLayout->m_keys) {
            const std::string value = ini.GetString(section, key.m_szName);
            row.m_cells.push_back(value);
            if (key.m_pNumber)
                row.*key.m_pNumber = ParseDecimal(value);
            else
                row.*key.m_pText = value;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

int CPlcSettingsFile::ParseDecimal(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}
