#include "app/CSafeFile.h"

#include "app/CSafeFileSystem.h"

#include <cerrno>
#include <chrono>
#include <random>
#include <system_error>

namespace {

constexpr int kNameAttempts = 100;
constexpr int kLinkHops = 40; // as many as the kernel follows in one path

std::string RandomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 generator = [] {
        std::random_device device;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::seed_seq seed{device(), device(), static_cast<unsigned>(now),
                           static_cast<unsigned>(CSafeFileSystem::ProcessId())};
        return std::mt19937_64(seed);
    }();
    std::string suffix(8, 'x');
    for (char& c : suffix)
        c = kChars[generator() % (sizeof kChars - 1)];
    return suffix;
}

// Follows the links at the end of the path one by one, as opening it would.
// Links among its folders are left to the system, which applies its own
// rules to them when the file is made and renamed.
std::error_code FollowLinks(std::filesystem::path& path) {
    for (int hop = 0; hop < kLinkHops; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return {}; // what is not there is for the caller to find
        if (const int error = CSafeFileSystem::MayFollow(path))
            return {error, std::generic_category()};
        const std::filesystem::path to = std::filesystem::read_symlink(path, ec);
        if (ec)
            return ec;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return {ELOOP, std::generic_category()};
}

} // namespace

CSafeFile::~CSafeFile() {
    Abandon();
}

void CSafeFile::Fail(int error) {
    Fail(std::generic_category().message(error));
}

void CSafeFile::Fail(const std::string& reason) {
    m_bFailed = true;
    if (m_strReason.empty())
        m_strReason = reason;
}

void CSafeFile::CloseHandle() {
    if (m_nFd < 0)
        return;
    CSafeFileSystem::Close(m_nFd);
    m_nFd = -1;
}

bool CSafeFile::Open(const std::filesystem::path& path) {
    Abandon();
    m_bFailed = false;
    m_strReason.clear();
    m_target = path;
    if (const std::error_code ec = FollowLinks(m_target)) {
        Fail(ec.message());
        return false;
    }
    // No longer a link: its own type, which only a rename could change.
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(m_target, ec).type();
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none) {
        if (std::string why = NotAFileKind(type); !why.empty()) {
            Fail(why);
            return false;
        }
    }
    if (m_target.filename().empty()) { // "new/": names a folder, as open() says
        Fail(EISDIR);
        return false;
    }
    const std::filesystem::path folder = m_target.parent_path();
    const std::filesystem::path name = m_target.filename();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::filesystem::path temp = name;
        temp += ".tmp~" + RandomSuffix();
        if (!folder.empty())
            temp = folder / temp;
        m_nFd = CSafeFileSystem::CreateExclusive(temp);
        if (m_nFd >= 0) {
            m_temp = temp;
            return true;
        }
        if (errno != EEXIST) {
            Fail(errno);
            return false;
        }
    }
    Fail(EEXIST);
    return false;
}

bool CSafeFile::Write(const void* data, std::size_t count) {
    if (m_nFd < 0 || m_bFailed)
        return false;
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        const long long n = CSafeFileSystem::WriteSome(m_nFd, p, count);
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CSafeFile::Commit() {
    if (m_nFd < 0)
        return false;
    if (!m_bFailed) {
        if (const int error = CSafeFileSystem::SyncToDisk(m_nFd))
            Fail(error);
    }
    std::error_code ec;
    if (!m_bFailed) {
        const auto status = std::filesystem::status(m_target, ec);
        if (!ec && std::filesystem::exists(status))
            CSafeFileSystem::CopyPermissions(m_nFd, m_temp, status.permissions());
    }
    const int closeError = CSafeFileSystem::Close(m_nFd);
    m_nFd = -1;
    if (closeError && !m_bFailed)
        Fail(closeError);
    if (!m_bFailed) {
        ec = CSafeFileSystem::Replace(m_temp, m_target);
        if (ec) {
            m_bFailed = true;
            if (m_strReason.empty())
                m_strReason = ec.message();
        }
    }
    if (m_bFailed) {
        std::filesystem::remove(m_temp, ec);
        m_temp.clear();
        return false;
    }
    CSafeFileSystem::SyncFolder(m_target.parent_path());
    m_temp.clear();
    return true;
}

void CSafeFile::Abandon() {
    if (m_nFd < 0)
        return;
    CloseHandle();
    std::error_code ignored;
    std::filesystem::remove(m_temp, ignored);
    m_temp.clear();
}

bool CSafeFile::CanWrite(const std::filesystem::path& path, std::string& reason) {
    CSafeFile file;
    if (!file.Open(path)) {
        reason = file.GetReason();
        return false;
    }
    file.Abandon();
    return true;
}

bool CSafeFile::WriteAll(const std::filesystem::path& path, std::string_view bytes,
                         std::string* reason) {
    CSafeFile file;
    const bool ok = file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
    if (!ok && reason)
        *reason = file.GetReason();
    return ok;
}

std::string CSafeFile::NotAFileKind(std::filesystem::file_type type) {
    // Anything but a regular file is refused: reading a FIFO would block
    // forever and a device never end; a save would replace it.
    switch (type) {
    case std::filesystem::file_type::regular:
        return {};
    case std::filesystem::file_type::directory:
        return std::generic_category().message(EISDIR);
    case std::filesystem::file_type::fifo:
        return "일반 파일이 아닙니다: FIFO";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
        return "일반 파일이 아닙니다: 장치";
    case std::filesystem::file_type::socket:
        return "일반 파일이 아닙니다: 소켓";
    default:
        return "일반 파일이 아닙니다";
    }
}

std::string CSafeFile::Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
