#include "app/CReadOnlyFile.h"

#include "app/CSafeFile.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <windows.h>

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string LastErrorText() {
    return std::system_category().message(static_cast<int>(::GetLastError()));
}

} // namespace

CReadOnlyFile::~CReadOnlyFile() {
    Close();
}

void CReadOnlyFile::Close() {
    if (m_nHandle != -1)
        ::CloseHandle(AsHandle(m_nHandle));
    m_nHandle = -1;
}

bool CReadOnlyFile::Open(const std::filesystem::path& path, std::string& reason) {
    Close();
    m_strError.clear();
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        reason = std::generic_category().message(ENOENT);
        return false;
    }
    if (ec) {
        reason = ec.message();
        return false;
    }
    reason = CSafeFile::NotAFileKind(status.type());
    if (!reason.empty())
        return false;
    // The path is held as UTF-16 here, which the wide call takes as it is.
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = LastErrorText();
        return false;
    }
    m_nHandle = reinterpret_cast<std::intptr_t>(file);
    return true;
}

std::size_t CReadOnlyFile::Read(std::uint8_t* dest, std::size_t n) {
    std::size_t got = 0;
    while (got < n && m_nHandle != -1) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - got, 1u << 30));
        DWORD r = 0;
        if (!::ReadFile(AsHandle(m_nHandle), dest + got, want, &r, nullptr)) {
            m_strError = LastErrorText();
            break;
        }
        if (r == 0)
            break;
        got += r;
    }
    return got;
}
