#pragma once

#include "plc/MemoryTable.h"

#include <filesystem>
#include <string>
#include <vector>

// What a PLC screen keeps from one of its windows to the next: the words
// of the table and the grid's rows as the user left them, and the settings
// file fixed at the first set-up. The engine and polling end with the
// window; these do not.
class CPlcScreenState {
public:
    MemoryTable m_memory;
    std::vector<std::vector<std::string>> m_rows;
    std::filesystem::path m_path;
    // A window of the screen was set up and closed: its rows are above.
    bool m_bKept = false;
};
