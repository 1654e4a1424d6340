#include "plc/CIniFile.h"

#include "app/CSafeFile.h"
#include "link/CCp949.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A line that new lines will follow must end in a line feed.
void EnsureEnded(std::string& eol) {
    if (eol != "\n" && eol != "\r\n")
        eol = "\r\n";
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Name of a "[name]" line (rest of the line when the bracket is not closed).
std::string_view HeaderName(std::string_view trimmed) {
    std::string_view inner = trimmed.substr(1);
    std::size_t close = inner.find(']');
    if (close != std::string_view::npos)
        inner = inner.substr(0, close);
    return Trim(inner);
}

std::string_view KeyOf(std::string_view trimmed) {
    std::size_t eq = trimmed.find('=');
    return Trim(eq == std::string_view::npos ? trimmed : trimmed.substr(0, eq));
}

std::string_view ValueOf(std::string_view raw) {
    std::size_t eq = raw.find('=');
    if (eq == std::string_view::npos)
        return {};
    std::string_view v = Trim(raw.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

} // namespace

std::string CIniFile::Fold(std::string_view cp949Name) {
    std::string out(Trim(cp949Name));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE)
            ++i; // the second byte of a Korean character is no letter
        else if (c >= 'A' && c <= 'Z')
            out[i] = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool CIniFile::Load(const std::filesystem::path& path) {
    auto fail = [this](std::string reason) {
        LoadFromBytes({});
        m_strLoadError = std::move(reason);
        return false;
    };
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec)
        return fail(ec.message());
    if (std::filesystem::is_directory(status))
        return fail(std::make_error_code(std::errc::is_a_directory).message());
    if (!std::filesystem::is_regular_file(status))
        return fail("not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(errno ? std::strerror(errno) : "cannot be opened");
    // istream::read turns a read error (a bad disk) into badbit instead of
    // an exception.
    std::string bytes;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return fail("read error");
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (bytes.starts_with(kUtf8Bom))
        bytes = CCp949::FromUtf8(std::string_view(bytes).substr(kUtf8Bom.size()));
    LoadFromBytes(bytes);
    m_strLoadError.clear();
    return true;
}

void CIniFile::LoadFromBytes(std::string_view bytes) {
    m_sections.clear();
    m_sections.emplace_back(); // lines before the first section
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        std::size_t textEnd = (end > pos && bytes[end - 1] == '\r') ? end - 1 : end;
        std::string_view raw = bytes.substr(pos, textEnd - pos);
        std::string_view eol =
            bytes.substr(textEnd, (nl == std::string_view::npos ? end : nl + 1) - textEnd);
        pos = nl == std::string_view::npos ? bytes.size() : nl + 1;

        std::string_view trimmed = Trim(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            Section s;
            s.m_strHeader = std::string(raw);
            s.m_strHeaderEol = std::string(eol);
            s.m_strName = Fold(HeaderName(trimmed));
            s.m_bHeader = true;
            m_sections.push_back(std::move(s));
            continue;
        }
        Line line{std::string(raw), {}, std::string(eol)};
        if (!trimmed.empty() && trimmed.front() != ';')
            line.m_strKey = Fold(KeyOf(trimmed));
        m_sections.back().m_lines.push_back(std::move(line));
    }
    RebuildIndex();
}

void CIniFile::RebuildIndex() {
    m_index.clear();
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        if (m_sections[i].m_bHeader)
            m_index.emplace(m_sections[i].m_strName, i); // keeps the first
}

std::string CIniFile::ToBytes() const {
    std::string out;
    for (const Section& s : m_sections) {
        if (s.m_bHeader)
            out += s.m_strHeader + s.m_strHeaderEol;
        for (const Line& l : s.m_lines)
            out += l.m_strRaw + l.m_strEol;
    }
    return out;
}

bool CIniFile::Save(const std::filesystem::path& path) const {
    return CSafeFile::WriteAll(path, ToBytes());
}

CIniFile::Section* CIniFile::FindSection(const std::string& folded) {
    auto it = m_index.find(folded);
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

const CIniFile::Section* CIniFile::FindSection(const std::string& folded) const {
    auto it = m_index.find(folded);
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

const CIniFile::Line* CIniFile::FindLine(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(Fold(CCp949::FromUtf8(section)));
    if (!s)
        return nullptr;
    const std::string folded = Fold(CCp949::FromUtf8(key));
    for (const Line& l : s->m_lines)
        if (!l.m_strKey.empty() && l.m_strKey == folded)
            return &l;
    return nullptr;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const Line* l = FindLine(section, key);
    if (!l)
        return std::string(def);
    std::string_view value = ValueOf(l->m_strRaw);
    value = value.substr(0, CCp949::CharBoundary(value, kMaxValueBytes));
    return CCp949::ToUtf8(value);
}

bool CIniFile::HasKey(std::string_view section, std::string_view key) const {
    return FindLine(section, key) != nullptr;
}

bool CIniFile::HasSection(std::string_view section) const {
    return FindSection(Fold(CCp949::FromUtf8(section))) != nullptr;
}

void CIniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionBytes(Trim(CCp949::FromUtf8(section)));
    const std::string keyBytes(Trim(CCp949::FromUtf8(key)));
    const std::string raw = keyBytes + "=" + CCp949::FromUtf8(value);
    const std::string foldedKey = Fold(keyBytes);
    if (foldedKey.empty())
        return; // an empty name would match blank and comment lines

    Section* s = FindSection(Fold(sectionBytes));
    if (!s) {
        // A new section goes at the end; make sure the last line is ended.
        Section& last = m_sections.back();
        if (!last.m_lines.empty())
            EnsureEnded(last.m_lines.back().m_strEol);
        else if (last.m_bHeader)
            EnsureEnded(last.m_strHeaderEol);
        Section added;
        added.m_strHeader = "[" + sectionBytes + "]";
        added.m_strHeaderEol = "\r\n";
        added.m_strName = Fold(sectionBytes);
        added.m_bHeader = true;
        added.m_lines.push_back({raw, foldedKey, "\r\n"});
        m_sections.push_back(std::move(added));
        m_index.emplace(m_sections.back().m_strName, m_sections.size() - 1);
        return;
    }
    for (Line& l : s->m_lines) {
        if (l.m_strKey == foldedKey) {
            // Keep the key as it was spelt in the file.
            std::string_view trimmed = Trim(l.m_strRaw);
            l.m_strRaw = std::string(KeyOf(trimmed)) + "=" + CCp949::FromUtf8(value);
            return;
        }
    }
    // A new key goes after the last non-blank line of its section.
    std::size_t at = s->m_lines.size();
    while (at > 0 && Trim(s->m_lines[at - 1].m_strRaw).empty())
        --at;
    EnsureEnded(at > 0 ? s->m_lines[at - 1].m_strEol : s->m_strHeaderEol);
    s->m_lines.insert(s->m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                      Line{raw, foldedKey, "\r\n"});
}

void CIniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(Fold(CCp949::FromUtf8(section)));
    if (!s)
        return;
    const std::string folded = Fold(CCp949::FromUtf8(key));
    if (folded.empty())
        return;
    std::erase_if(s->m_lines, [&](const Line& l) { return l.m_strKey == folded; });
}

void CIniFile::DeleteSection(std::string_view section) {
    const std::string folded = Fold(CCp949::FromUtf8(section));
    std::erase_if(m_sections,
                  [&](const Section& s) { return s.m_bHeader && s.m_strName == folded; });
    RebuildIndex();
}
