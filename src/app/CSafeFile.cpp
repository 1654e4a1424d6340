#include "app/CSafeFile.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::FILE* OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

bool SyncToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

} // namespace

CSafeFile::~CSafeFile() {
    Abandon();
}

bool CSafeFile::Open(const std::filesystem::path& path) {
    Abandon();
    std::error_code ec;
    m_target = std::filesystem::canonical(path, ec); // follows a link
    if (ec)
        m_target = path;
    m_temp = m_target;
    m_temp += ".tmp~";
    m_bFailed = false;
    m_pFile = OpenForWriting(m_temp);
    return m_pFile != nullptr;
}

bool CSafeFile::Write(const void* data, std::size_t count) {
    if (!m_pFile || m_bFailed)
        return false;
    if (count > 0 && std::fwrite(data, 1, count, m_pFile) != count)
        m_bFailed = true;
    return !m_bFailed;
}

bool CSafeFile::Commit() {
    if (!m_pFile)
        return false;
    bool ok = !m_bFailed && SyncToDisk(m_pFile);
    ok = std::fclose(m_pFile) == 0 && ok;
    m_pFile = nullptr;
    std::error_code ec;
    if (ok) {
        const auto status = std::filesystem::status(m_target, ec);
        if (!ec && std::filesystem::exists(status))
            std::filesystem::permissions(m_temp, status.permissions(), ec);
        ec.clear();
        std::filesystem::rename(m_temp, m_target, ec);
        ok = !ec;
    }
    if (!ok)
        std::filesystem::remove(m_temp, ec);
    return ok;
}

void CSafeFile::Abandon() {
    if (!m_pFile)
        return;
    std::fclose(m_pFile);
    m_pFile = nullptr;
    std::error_code ignored;
    std::filesystem::remove(m_temp, ignored);
}

bool CSafeFile::WriteAll(const std::filesystem::path& path, std::string_view bytes) {
    CSafeFile file;
    return file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

std::string CSafeFile::Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
