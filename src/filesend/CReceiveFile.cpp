#include "filesend/CReceiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

CReceiveFile::~CReceiveFile() {
    Close();
}

bool CReceiveFile::Fail(int error) {
    m_strReason = std::generic_category().message(error);
    return false;
}

void CReceiveFile::Close() {
    if (m_nFd < 0)
        return;
#ifdef _WIN32
    _close(m_nFd);
#else
    ::close(m_nFd);
#endif
    m_nFd = -1;
}

bool CReceiveFile::Open(const std::filesystem::path& path) {
    Close();
    m_strReason.clear();
#ifdef _WIN32
    m_nFd =
        _wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (m_nFd < 0)
        return Fail(errno);
    struct _stat64 info {};
    if (_fstat64(m_nFd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        Close();
        return Fail(EINVAL);
    }
#else
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
#endif
    return true;
}

bool CReceiveFile::IsStillAt(const std::filesystem::path& path, std::uint64_t& length) const {
#ifdef _WIN32
    (void)path;
    (void)length;
    return false;
#else
    // One lstat instead of open, fstat and close: the path names the same
    // regular file, reached without a link, that the descriptor holds.
    struct stat info {};
    if (m_nFd < 0 || ::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_nlink > 1 || static_cast<std::uint64_t>(info.st_dev) != m_nDevice ||
        static_cast<std::uint64_t>(info.st_ino) != m_nInode)
        return false;
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
#endif
}

std::uint64_t CReceiveFile::Length() const {
#ifdef _WIN32
    struct _stat64 info {};
    return m_nFd >= 0 && _fstat64(m_nFd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
#else
    struct stat info {};
    return m_nFd >= 0 && ::fstat(m_nFd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
#endif
}

bool CReceiveFile::Truncate(std::uint64_t length) {
#ifdef _WIN32
    if (_chsize_s(m_nFd, static_cast<long long>(length)) != 0)
        return Fail(errno);
#else
    if (::ftruncate(m_nFd, static_cast<off_t>(length)) != 0)
        return Fail(errno);
#endif
    return true;
}

bool CReceiveFile::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
#ifdef _WIN32
    if (_lseeki64(m_nFd, static_cast<long long>(offset), SEEK_SET) < 0)
        return Fail(errno);
    while (count > 0) {
        const int n = _write(m_nFd, bytes, static_cast<unsigned>(count));
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
#else
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
#endif
    return true;
}

bool CReceiveFile::LengthOf(const std::filesystem::path& path, std::uint64_t& length) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status))
        return false;
    length = std::filesystem::file_size(path, ec);
    return !ec;
}
