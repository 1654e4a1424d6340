#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

// Writes a file so that a failed write never leaves a damaged one: the bytes
// go to a temporary file beside the target, which is flushed to the disk and
// only then renamed over it. A symbolic link is followed, and a target that
// exists keeps its permissions.
class CSafeFile {
public:
    CSafeFile() = default;
    ~CSafeFile(); // abandons an uncommitted file
    CSafeFile(const CSafeFile&) = delete;
    CSafeFile& operator=(const CSafeFile&) = delete;

    bool Open(const std::filesystem::path& path);
    // False once any write has failed; Commit then fails too.
    bool Write(const void* data, std::size_t count);
    bool Commit();
    void Abandon();

    static bool WriteAll(const std::filesystem::path& path, std::string_view bytes);
    // The path as UTF-8, for messages.
    static std::string Text(const std::filesystem::path& path);

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE* m_pFile = nullptr;
    bool m_bFailed = false;
};
