#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// A regular file opened for reading, closed with the object. What is no
// regular file (a folder, a FIFO, a device) is refused at Open, without
// waiting on it.
class CReadOnlyFile {
public:
    CReadOnlyFile() = default;
    ~CReadOnlyFile();
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;

    // False with the reason in words when the file cannot be read.
    bool Open(const std::filesystem::path& path, std::string& reason);
    // Reads up to n bytes; fewer only at the end of the file or on a read
    // error (GetError then says which).
    std::size_t Read(std::uint8_t* dest, std::size_t n);
    // The system's words for the last read error, empty when none.
    const std::string& GetError() const { return m_strError; }

private:
    void Close();

    std::intptr_t m_nHandle = -1;
    std::string m_strError;
};
