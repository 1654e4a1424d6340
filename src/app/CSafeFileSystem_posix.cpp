#include "app/CSafeFileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int CSafeFileSystem::ProcessId() {
    return static_cast<int>(::getpid());
}

int CSafeFileSystem::CreateExclusive(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

long long CSafeFileSystem::WriteSome(int fd, const char* data, std::size_t count) {
    ssize_t n;
    do {
        n = ::write(fd, data, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

int CSafeFileSystem::SyncToDisk(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int CSafeFileSystem::Close(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

void CSafeFileSystem::CopyPermissions(int fd, const std::filesystem::path&,
                                      std::filesystem::perms perms) {
    ::fchmod(fd, static_cast<mode_t>(perms));
}

std::error_code CSafeFileSystem::Replace(const std::filesystem::path& temp,
                                         const std::filesystem::path& target) {
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    return ec;
}

void CSafeFileSystem::SyncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The kernel's fs.protected_symlinks rule, kept whatever the sysctl says: in
// a sticky, world-writable folder a link is followed only when it belongs to
// the one saving or to the folder's owner. Else another user's link planted
// in /tmp would send root's save over any file.
int CSafeFileSystem::MayFollow(const std::filesystem::path& link) {
    const std::filesystem::path folder = link.parent_path();
    struct stat linkInfo {};
    struct stat folderInfo {};
    if (::lstat(link.c_str(), &linkInfo) != 0 ||
        ::stat(folder.empty() ? "." : folder.c_str(), &folderInfo) != 0)
        return errno;
    const bool shared = (folderInfo.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    if (!shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folderInfo.st_uid)
        return 0;
    return EACCES;
}
