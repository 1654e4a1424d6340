#include "filesend/CSourceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

CSourceFile::~CSourceFile() {
    Close();
}

void CSourceFile::Close() {
    if (m_nFd < 0)
        return;
#ifdef _WIN32
    _close(m_nFd);
#else
    ::close(m_nFd);
#endif
    m_nFd = -1;
}

bool CSourceFile::Open(const std::filesystem::path& path, std::uint64_t& length) {
    m_strReason.clear();
    m_bRegular = true;
#ifdef _WIN32
    // No inode to compare: opened anew for every chunk.
    Close();
    struct _stat64 info {};
    if (_wstat64(path.c_str(), &info) != 0) {
        m_strReason = std::generic_category().message(errno);
        return false;
    }
    if ((info.st_mode & _S_IFMT) != _S_IFREG) {
        m_bRegular = false;
        return false;
    }
    m_nFd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (m_nFd < 0 || _fstat64(m_nFd, &info) != 0) {
        m_strReason = std::generic_category().message(errno);
        Close();
        return false;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
#else
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
#endif
}

bool CSourceFile::ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
    if (m_nFd < 0)
        return false;
#ifdef _WIN32
    if (_lseeki64(m_nFd, static_cast<long long>(offset), SEEK_SET) < 0)
        return false;
    while (count > 0) {
        const int n = _read(m_nFd, bytes, static_cast<unsigned>(count));
        if (n <= 0)
            return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
#else
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
#endif
    return true;
}
