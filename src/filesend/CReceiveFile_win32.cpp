#include "filesend/CReceiveFile.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

void CReceiveFile::Close() {
    if (m_nFd < 0)
        return;
    _close(m_nFd);
    m_nFd = -1;
}

bool CReceiveFile::Open(const std::filesystem::path& path) {
    Close();
    m_strReason.clear();
    // Shared for deleting and renaming, as a POSIX descriptor is: the user
    // may move a file away while it is still being received. A link planted
    // under the name is opened as itself (a reparse point) and refused.
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Fail(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                    : error == ERROR_ACCESS_DENIED                                 ? EACCES
                    : error == ERROR_DISK_FULL                                     ? ENOSPC
                                                                                   : EINVAL);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return Fail(EINVAL);
    }
    // A hard link planted under the name would let the sender's data
    // replace a file outside the folder; a received file has one name.
    if (info.nNumberOfLinks > 1) {
        CloseHandle(handle);
        return Fail(EMLINK);
    }
    m_nFd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (m_nFd < 0) {
        CloseHandle(handle);
        return Fail(EMFILE);
    }
    m_nDevice = info.dwVolumeSerialNumber;
    m_nInode = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

bool CReceiveFile::IsStillAt(const std::filesystem::path&, std::uint64_t&) const {
    // Never held between chunks here: the caller opens it again.
    return false;
}

std::uint64_t CReceiveFile::Length() const {
    struct _stat64 info {};
    return m_nFd >= 0 && _fstat64(m_nFd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool CReceiveFile::Truncate(std::uint64_t length) {
    if (_chsize_s(m_nFd, static_cast<long long>(length)) != 0)
        return Fail(errno);
    return true;
}

bool CReceiveFile::WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    if (_lseeki64(m_nFd, static_cast<long long>(offset), SEEK_SET) < 0)
        return Fail(errno);
    while (count > 0) {
        const unsigned chunk = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
        const int n = _write(m_nFd, bytes, chunk);
        if (n <= 0)
            return Fail(n < 0 ? errno : ENOSPC);
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    // Let go of the file between chunks: an open file cannot be deleted or
    // replaced on Windows, and the user may do that mid-transfer. (A failed
    // write keeps it open for the caller to cut the rest off.)
    Close();
    return true;
}
