#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// The file being sent, held open across its chunks. Each chunk asks again
// what the path names, so a file replaced or grown between chunks is seen
// as it would be by opening it anew.
class CSourceFile {
public:
    CSourceFile() = default;
    ~CSourceFile();
    CSourceFile(const CSourceFile&) = delete;
    CSourceFile& operator=(const CSourceFile&) = delete;

    // Makes the regular file at the path (links followed) the open one,
    // keeping the descriptor when it already is; its length. False with the
    // reason when it is not a regular file or cannot be opened.
    bool Open(const std::filesystem::path& path, std::uint64_t& length);
    // Reads exactly count bytes at the offset; false when fewer came.
    bool ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count);
    void Close();
    const std::string& GetReason() const { return m_strReason; }
    bool IsRegularFile() const { return m_bRegular; }

private:
    int m_nFd = -1;
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;
    std::string m_strReason;
    bool m_bRegular = true; // false when the last Open met something else
};
