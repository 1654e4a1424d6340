#include "filesend/CReceiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void CReceiveFile::Close() {
    if (m_nFd < 0)
        return;
    ::close(m_nFd);
    m_nFd = -1;
}

bool CReceiveFile::Open(const std::filesystem::path& path) {
    Close();
    m_strReason.clear();
    // Non-blocking so that a FIFO planted under the name cannot hang us.
    m_nFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    if (m_nFd < 0)
        return Fail(errno);
    struct stat info {};
    if (::fstat(m_nFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Close();
        return Fail(EINVAL);
    }
    // A hard link planted under the name would let the sender's data
    // replace a file outside the folder; a received file has one name.
    if (info.st_nlink > 1) {
        Close();
        return Fail(EMLINK);
    }
    m_nDevice = static_cast<std::uint64_t>(info.st_dev);
    m_nInode = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

bool CReceiveFile::IsStillAt(const std::filesystem::path& path, std::uint64_t& length) const {
    // One lstat instead of open, fstat and close: the path names the same
    // regular file, reached without a link, that the descriptor holds.
    struct stat info {};
    if (m_nFd < 0 || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_nlink > 1 || static_cast<std::uint64_t>(info.st_dev) != m_nDevice ||
        static_cast<std::uint64_t>(info.st_ino) != m_nInode)
        return false;
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

std::uint64_t CReceiveFile::Length() const {
    struct stat info {};
    return m_nFd >= 0 && ::fstat(m_nFd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool CReceiveFile::Truncate(std::uint64_t length) {
    if (::ftruncate(m_nFd, static_cast<off_t>(length)) != 0)
        return Fail(errno);
    return true;
}

bool CReceiveFile::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::pwrite(m_nFd, bytes, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::size_t>(n);
    }
    return true;
}
