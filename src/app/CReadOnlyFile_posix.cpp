#include "app/CReadOnlyFile.h"

#include "app/CSafeFile.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::filesystem::file_type KindOf(mode_t mode) {
    using T = std::filesystem::file_type;
    return S_ISREG(mode)    ? T::regular
           : S_ISDIR(mode)  ? T::directory
           : S_ISFIFO(mode) ? T::fifo
           : S_ISSOCK(mode) ? T::socket
           : S_ISCHR(mode)  ? T::character
           : S_ISBLK(mode)  ? T::block
                            : T::unknown;
}

} // namespace

CReadOnlyFile::~CReadOnlyFile() {
    Close();
}

void CReadOnlyFile::Close() {
    if (m_nHandle >= 0)
        ::close(static_cast<int>(m_nHandle));
    m_nHandle = -1;
}

bool CReadOnlyFile::Open(const std::filesystem::path& path, std::string& reason) {
    Close();
    m_strError.clear();
    // Opened without waiting, so a FIFO is seen for what it is, not waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::generic_category().message(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        reason = std::generic_category().message(errno);
    else
        reason = CSafeFile::NotAFileKind(KindOf(info.st_mode));
    if (!reason.empty()) {
        ::close(fd);
        return false;
    }
    m_nHandle = fd;
    return true;
}

std::size_t CReadOnlyFile::Read(std::uint8_t* dest, std::size_t n) {
    std::size_t got = 0;
    while (got < n && m_nHandle >= 0) {
        const ssize_t r = ::read(static_cast<int>(m_nHandle), dest + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            m_strError = std::generic_category().message(errno);
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return got;
}
