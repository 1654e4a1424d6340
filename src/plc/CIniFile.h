#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A private-profile INI file held in memory, with the semantics the Windows
// profile functions give the PLC, user-protocol and file-list files:
// section and key names compare without regard to ASCII case, the first
// matching section and key win, values are trimmed and lose one pair of
// enclosing quotes, at most 4095 bytes of a value are read, and writing one
// value keeps every other line, section and order as it was.
//
// The API speaks UTF-8; on disk names and values are CP949 bytes. Lines the
// program does not touch are written back byte for byte.
class CIniFile {
public:
    static constexpr std::size_t kMaxValueBytes = 4095;

    CIniFile() { LoadFromBytes({}); }

    // A missing or unreadable file reads as empty; false then, with the
    // reason in GetLoadError. Only a regular file is read: a FIFO would
    // block. A file that begins with a UTF-8 byte order mark is taken as
    // UTF-8 (an editor's "save as UTF-8") and held as CP949 like any other.
    bool Load(const std::filesystem::path& path);
    // Why the last Load failed (the system's text); empty after a success.
    const std::string& GetLoadError() const { return m_strLoadError; }
    void LoadFromBytes(std::string_view bytes);
    // Written beside the target and renamed over it.
    bool Save(const std::filesystem::path& path) const;
    std::string ToBytes() const;

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def = "") const;
    bool HasKey(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void DeleteKey(std::string_view section, std::string_view key);
    void DeleteSection(std::string_view section);

private:
    struct Line {
        std::string m_strRaw; // the bytes of the line without its line end
        std::string m_strKey; // folded key name, empty for comments and blanks
        std::string m_strEol; // "\r\n", "\n" or "" (last line without one)
    };
    struct Section {
        std::string m_strHeader; // raw header line, empty for the lines before any section
        std::string m_strHeaderEol;
        std::string m_strName; // folded name
        bool m_bHeader = false;
        std::vector<Line> m_lines;
    };

    static std::string Fold(std::string_view cp949Name);
    const Line* FindLine(std::string_view section, std::string_view key) const;
    Section* FindSection(const std::string& folded);
    const Section* FindSection(const std::string& folded) const;
    void RebuildIndex();

    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_index; // folded name -> first section
    std::string m_strLoadError;
};
