#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// A received file, opened for one chunk: created when missing and kept when
// present, never through a symbolic link and never anything but a regular
// file (a FIFO or device there would block or swallow the data).
class CReceiveFile {
public:
    CReceiveFile() = default;
    ~CReceiveFile();
    CReceiveFile(const CReceiveFile&) = delete;
    CReceiveFile& operator=(const CReceiveFile&) = delete;

    bool Open(const std::filesystem::path& path);
    std::uint64_t Length() const;
    bool Truncate(std::uint64_t length);
    // Writes all bytes at the offset; false (with the reason) when any failed.
    bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count);
    void Close();
    // The system's reason for the last failure.
    const std::string& GetReason() const { return m_strReason; }

    // The length of the regular file at the path (no link followed); false
    // when there is none.
    static bool LengthOf(const std::filesystem::path& path, std::uint64_t& length);

private:
    bool Fail(int error);

    int m_nFd = -1;
    std::string m_strReason;
};
