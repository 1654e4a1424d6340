#pragma once

#include "TestFiles.h"
#include "plc/CPlcSettingsFile.h"

#include <filesystem>
#include <string>
#include <vector>

// Runs a test inside a fresh folder: the engines read their settings file
// from the current directory.
class InTempDir {
public:
    InTempDir() : m_old(std::filesystem::current_path()) {
        std::filesystem::current_path(m_dir.Path());
    }
    ~InTempDir() {
        std::error_code ignored;
        std::filesystem::current_path(m_old, ignored);
    }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    std::filesystem::path m_old;
};

using CellRow = std::vector<std::string>;

// A Yaskawa grid row: COMMTYPE, SLAVEADDRESS, PLCDEVICETYPE, PLCADDRESS,
// DATACOUNT, ANINDEX.
inline CellRow YaskawaRow(const std::string& type, int slave, int address, int count, int index) {
    return {type,
            std::to_string(slave),
            "WORD",
            std::to_string(address),
            std::to_string(count),
            std::to_string(index)};
}
inline CellRow ReadRow(int slave, int address, int count, int index) {
    return YaskawaRow("자동읽기", slave, address, count, index);
}
inline CellRow WriteRow(int slave, int address, int count, int index) {
    return YaskawaRow("자동쓰기", slave, address, count, index);
}

inline void WriteYaskawaRows(const std::vector<CellRow>& rows) {
    CPlcSettingsFile file(CPlcSettingsFile::PLC_YASKAWA);
    ASSERT_TRUE(file.SaveRows(file.CurrentPath(), rows));
}
