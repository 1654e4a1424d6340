#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// A received file, held open across the chunks of one transfer: created
// when missing and kept when present, never through a symbolic link and
// never anything but a regular file (a FIFO or device there would block or
// swallow the data).
class CReceiveFile {
public:
    CReceiveFile() = default;
    ~CReceiveFile();
    CReceiveFile(const CReceiveFile&) = delete;
    CReceiveFile& operator=(const CReceiveFile&) = delete;

    bool Open(const std::filesystem::path& path);
    bool IsOpen() const { return m_nFd >= 0; }
    // The open file is still the one at the path (not deleted, renamed or
    // replaced since it was opened); its length then. False where that
    // cannot be told, so that the caller opens the path again.
    bool IsStillAt(const std::filesystem::path& path, std::uint64_t& length) const;
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
    std::uint64_t m_nDevice = 0;
    std::uint64_t m_nInode = 0;
    std::string m_strReason;
};
