#pragma once

#include "plc/PlcRequestRow.h"

#include <filesystem>
#include <string>
#include <vector>

class CIniFile;

// The request rows of one PLC screen in its settings file: one section per
// row ("YASKAWA_INI0", "YASKAWA_INI1", ...) with one key per grid column,
// closed by a section whose COMMTYPE is empty. The screen saves and loads
// the grid's texts; the engine reads the same file as PlcRequestRow records.
class CPlcSettingsFile {
public:
    enum Plc { PLC_YASKAWA = 1, PLC_SIMENS, PLC_AB, PLC_MASTERK, PLC_POSFA, PLC_MELSEC };

    // The most sections the row count looks at.
    static constexpr int kMaxRows = 9999;

    struct SKey {
        const char* m_szName;
        // Null for the text keys.
        int PlcRequestRow::*m_pNumber;
        std::string PlcRequestRow::*m_pText;
    };
    struct SLayout {
        const char* m_szFileName; // in the current directory
        const char* m_szSectionPrefix;
        std::vector<SKey> m_keys; // in grid column order
    };

    // nPlc is the screen number 1..6; null for any other.
    static const SLayout* Layout(int nPlc);

    explicit CPlcSettingsFile(int nPlc);

    bool IsValid() const { return m_pLayout != nullptr; }
    const SLayout& GetLayout() const { return *m_pLayout; }
    int GetColumnCount() const {
        return m_pLayout ? static_cast<int>(m_pLayout->m_keys.size()) : 0;
    }
    // The file in the process's current directory, as it is now.
    std::filesystem::path CurrentPath() const;

    // The grid's texts, one vector per row with one text per column (UTF-8).
    // Rows beyond an earlier, longer save stay in the file behind the
    // terminator. False when the file could not be written.
    bool SaveRows(const std::filesystem::path& path,
                  const std::vector<std::vector<std::string>>& rows) const;
    // What a read found besides the rows.
    struct SReadInfo {
        std::string m_strError; // why the file could not be read; empty when it was
        bool m_bCut = false;    // the file holds rows past the kMaxRows read
    };
    // The rows up to the first empty COMMTYPE; a missing or unreadable file
    // gives none.
    std::vector<std::vector<std::string>> LoadRows(const std::filesystem::path& path,
                                                   SReadInfo* pInfo = nullptr) const;
    // The same rows as records, decimal keys converted, texts kept.
    std::vector<PlcRequestRow> ReadRows(const std::filesystem::path& path,
                                        SReadInfo* pInfo = nullptr) const;

    // The first k in 0..9998 whose section has an empty or no COMMTYPE, or
    // 9999 when every one of them has one.
    int CountRows(const CIniFile& ini) const;
    // Whether rows go on past the ones CountRows gives.
    bool IsCut(const CIniFile& ini) const;
    std::string SectionName(int nRow) const;

    // Leading white space, an optional sign, then digits up to the first
    // other character; 0 when there are none, clamped to the int range.
    static int ParseDecimal(const std::string& text);

private:
    const SLayout* m_pLayout;
};
