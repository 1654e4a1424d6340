#include "filesend/CSourceFile.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <system_error>
#include <windows.h>

void CSourceFile::Close() {
    if (m_nFd < 0)
        return;
    _close(m_nFd);
    m_nFd = -1;
}

bool CSourceFile::Open(const std::filesystem::path& path, std::uint64_t& length) {
    m_strReason.clear();
    m_bRegular = true;
    struct _stat64 status {};
    if (_wstat64(path.c_str(), &status) != 0) {
        m_strReason = std::generic_category().message(errno);
        Close();
        return false;
    }
    if ((status.st_mode & _S_IFMT) != _S_IFREG) {
        m_bRegular = false;
        Close();
        return false;
    }
    // Shared for deleting and renaming, as a POSIX descriptor is: the user
    // may replace a file while it is being sent, and the next chunk sees it.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_strReason = std::generic_category().message(
            handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND ? ENOENT
            : handle == INVALID_HANDLE_VALUE                                         ? EACCES
                                                                                     : EINVAL);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        Close();
        return false;
    }
    length = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    Close();
    m_nFd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (m_nFd < 0) {
        CloseHandle(handle);
        m_strReason = std::generic_category().message(EMFILE);
        return false;
    }
    return true;
}

bool CSourceFile::ReadAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
    if (m_nFd < 0)
        return false;
    bool bRead = _lseeki64(m_nFd, static_cast<long long>(offset), SEEK_SET) >= 0;
    while (bRead && count > 0) {
        const unsigned chunk = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
        const int n = _read(m_nFd, bytes, chunk);
        bRead = n > 0;
        if (bRead) {
            bytes += n;
            count -= static_cast<std::size_t>(n);
        }
    }
    // Let go of the file between chunks: an open file cannot be renamed
    // over or replaced on Windows, and the user may do that mid-transfer.
    Close();
    return bRead;
}
