#include "filesend/CSourceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

void CSourceFile::Close() {
    if (m_nFd < 0)
        return;
    ::close(m_nFd);
    m_nFd = -1;
}

bool CSourceFile::Open(const std::filesystem::path& path, std::uint64_t& length) {
    m_strReason.clear();
    m_bRegular = true;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        m_strReason = std::generic_category().message(errno);
        Close();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_bRegular = false;
        Close();
        return false;
    }
    // One stat a chunk while the path still names the open file.
    if (m_nFd >= 0 && static_cast<std::uint64_t>(info.st_dev) == m_nDevice &&
        static_cast<std::uint64_t>(info.st_ino) == m_nInode) {
        length = static_cast<std::uint64_t>(info.st_size);
        return true;
    }
    Close();
    m_nFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_nFd < 0 || ::fstat(m_nFd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_strReason = std::generic_category().message(m_nFd < 0 ? errno : EINVAL);
        Close();
        return false;
    }
    m_nDevice = static_cast<std::uint64_t>(info.st_dev);
    m_nInode = static_cast<std::uint64_t>(info.st_ino);
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool CSourceFile::ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
    if (m_nFd < 0)
        return false;
    while (count > 0) {
        const ssize_t n = ::pread(m_nFd, bytes, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::size_t>(n);
    }
    return true;
}
