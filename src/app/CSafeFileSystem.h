#pragma once

#include <cstddef>
#include <filesystem>
#include <system_error>

// The system calls under CSafeFile, one set per platform. Descriptors are C
// runtime file descriptors; failures return the errno value.
class CSafeFileSystem {
public:
    static int ProcessId();
    // Creates the file exclusively: an existing name, a link among them,
    // fails with EEXIST instead of being opened. The descriptor, or -1 with
    // errno set.
    static int CreateExclusive(const std::filesystem::path& path);
    // The bytes written so far, or -1 with errno set.
    static long long WriteSome(int fd, const char* data, std::size_t count);
    static int SyncToDisk(int fd);
    static int Close(int fd);
    // Gives the new file the permissions of the one it replaces.
    static void CopyPermissions(int fd, const std::filesystem::path& temp,
                                std::filesystem::perms perms);
    // Puts the temporary file in the target's place in one step, written
    // through to the disk where the system offers it.
    static std::error_code Replace(const std::filesystem::path& temp,
                                   const std::filesystem::path& target);
    // So that the rename itself survives a power cut.
    static void SyncFolder(const std::filesystem::path& folder);
    // 0 when a link at the path may be followed, else the errno value.
    static int MayFollow(const std::filesystem::path& link);
};
