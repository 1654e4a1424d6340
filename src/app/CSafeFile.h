#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Writes a file so that a failed write never leaves a damaged one: the bytes
// go to a temporary file beside the target, which is flushed to the disk and
// only then renamed over it. The temporary file gets a fresh name and is
// created exclusively, never through a link planted in its place, so two
// saves to one file each write their own and the last rename wins whole. A
// symbolic link at the target itself is followed, except one the kernel's
// fs.protected_symlinks rule would not follow (another user's link in a
// sticky, world-writable folder such as /tmp). What the links lead to must be
// a regular file or nothing yet: a folder, FIFO, device or socket is never
// replaced. A target that exists keeps its permissions.
class CSafeFile {
public:
    CSafeFile() = default;
    ~CSafeFile(); // abandons an uncommitted file
    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    bool Open(const std::filesystem::path& path);
    // False once any write has failed; Commit then fails too.
    bool Write(const void* data, std::size_t count);
    bool Commit();
    void Abandon();

    // The system's reason for the last failure ("No space left on device"),
    // empty when nothing failed.
    const std::string& GetReason() const { return m_strReason; }
    // The temporary file while one is open (tests, messages).
    const std::filesystem::path& GetTempPath() const { return m_temp; }

    // Whether a save to the path could start: the temporary file can be
    // made in its folder (it is removed again). The reason when not.
    static bool CanWrite(const std::filesystem::path& path, std::string& reason);
    static bool WriteAll(const std::filesystem::path& path, std::string_view bytes,
                         std::string* reason = nullptr);
    // The path as UTF-8, for messages.
    static std::string Text(const std::filesystem::path& path);
    // Our own words for what is no regular file ("일반 파일이 아닙니다:
    // FIFO"), the system's for a folder; empty for a regular file.
    static std::string NotAFileKind(std::filesystem::file_type type);

private:
    void Fail(int error);
    void Fail(const std::string& reason);
    void CloseHandle();

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    int m_nFd = -1;
    bool m_bFailed = false;
    std::string m_strReason;
};
