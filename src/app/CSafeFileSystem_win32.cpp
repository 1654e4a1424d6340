#include "app/CSafeFileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

int CSafeFileSystem::ProcessId() {
    return _getpid();
}

int CSafeFileSystem::CreateExclusive(const std::filesystem::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

long long CSafeFileSystem::WriteSome(int fd, const char* data, std::size_t count) {
    const unsigned chunk = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
    return _write(fd, data, chunk);
}

int CSafeFileSystem::SyncToDisk(int fd) {
    // FlushFileBuffers underneath.
    return _commit(fd) == 0 ? 0 : errno;
}

int CSafeFileSystem::Close(int fd) {
    return _close(fd) == 0 ? 0 : errno;
}

void CSafeFileSystem::CopyPermissions(int, const std::filesystem::path& temp,
                                      std::filesystem::perms perms) {
    std::error_code ignored;
    std::filesystem::permissions(temp, perms, ignored);
}

std::error_code CSafeFileSystem::Replace(const std::filesystem::path& temp,
                                         const std::filesystem::path& target) {
    if (MoveFileExW(temp.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return {static_cast<int>(GetLastError()), std::system_category()};
}

void CSafeFileSystem::SyncFolder(const std::filesystem::path&) {
    // MOVEFILE_WRITE_THROUGH has put the rename on the disk already.
}

int CSafeFileSystem::MayFollow(const std::filesystem::path&) {
    // No sticky shared folders: every link is followed as opening would.
    return 0;
}
