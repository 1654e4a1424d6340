#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <csignal>
#ifdef _WIN32
#include <process.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

inline int TestProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// Whether the system's folders hold FIFOs, sockets and device nodes (not
// Windows): cases about them run only there.
#ifdef _WIN32
constexpr bool kSpecialFiles = false;
#else
constexpr bool kSpecialFiles = true;
#endif

// A FIFO at the path; false where there are none.
inline bool MakeFifo([[maybe_unused]] const std::filesystem::path& p) {
#ifdef _WIN32
    return false;
#else
    return ::mkfifo(p.c_str(), 0600) == 0;
#endif
}

// A file name given in UTF-8, as the core's strings are (a plain std::string
// would be read in the system's code page on Windows).
inline std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A symbolic link; false where the system makes none (Wine; Windows
// without the privilege), so that a test about links can skip.
inline bool MakeSymlink(const std::filesystem::path& target, const std::filesystem::path& link) {
    std::error_code ec;
    std::filesystem::create_symlink(target, link, ec);
    return !ec;
}
#define SKIP_WITHOUT_SYMLINK(target, link)                                                         \
    if (!MakeSymlink(target, link))                                                                \
    GTEST_SKIP() << "the system makes no symbolic link here"

// What the system says of a path that goes on through a file.
#ifdef _WIN32
inline const char* const kNotADirectory = "No such file or directory";
#else
inline const char* const kNotADirectory = "Not a directory";
#endif

// A fresh folder for one test, named after it and the process, removed at
// the end.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A parameterised test's name holds a '/', which would nest folders.
        std::string name = info ? info->name() : "test";
        std::replace(name.begin(), name.end(), '/', '_');
        m_path = std::filesystem::temp_directory_path() /
                 ("quillet-" + name + "-" + std::to_string(TestProcessId()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Makes every write past `bytes` into a file fail (EFBIG, "File too
// large") while it lives: a save that fails half way, without a full disk.
// Windows has no such limit: there kWorks is false and the object does
// nothing, so a test runs its half-way failure only where it can happen.
#ifdef _WIN32
class FileSizeLimit {
public:
    static constexpr bool kWorks = false;
    explicit FileSizeLimit(unsigned long long) {}
};
#else
class FileSizeLimit {
public:
    static constexpr bool kWorks = true;
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};
#endif
