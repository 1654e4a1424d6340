#include "app/CAlrFile.h"

#include "app/CReadOnlyFile.h"
#include "app/CSafeFile.h"
#include "app/CTessaryDoc.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

template <typename... Args> std::string Format(const char* fmt, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

void PutLe32(std::uint8_t* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::int32_t GetLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

std::size_t ReadUpTo(std::istream& in, std::uint8_t* dest, std::size_t n) {
    in.read(reinterpret_cast<char*>(dest), static_cast<std::streamsize>(n));
    return static_cast<std::size_t>(in.gcount());
}

// Encodes the capture in blocks of about 1 MiB and hands each to `sink`,
// which returns false when it could not take it.
template <typename Sink> bool StoreTo(const CTessaryDoc& doc, Sink&& sink, std::string& error) {
    if (doc.GetCount() > 0x7FFFFFFF) {
        error = "캡처 파일에 담을 수 있는 레코드 수(2147483647개)를 넘었습니다.";
        return false;
    }
    std::vector<std::uint8_t> buffer(kBufferBytes + TRAFFIC_MAX_LENGTH + 8);
    std::size_t used = 4;
    PutLe32(buffer.data(), static_cast<std::int32_t>(doc.GetCount()));
    bool ok = true;
    for (std::size_t i = 0; i < doc.GetCount() && ok; ++i) {
        const TrafficRecord r = doc.GetRecord(i);
        PutLe32(buffer.data() + used, r.m_nLength);
        PutLe32(buffer.data() + used + 4, r.m_nDirection);
        std::memcpy(buffer.data() + used + 8, r.m_pData, static_cast<std::size_t>(r.m_nLength));
        used += 8 + static_cast<std::size_t>(r.m_nLength);
        if (used >= kBufferBytes) {
            ok = sink(buffer.data(), used);
            used = 0;
        }
    }
    if (ok && used > 0)
        ok = sink(buffer.data(), used);
    if (!ok)
        error = "캡처 파일을 쓸 수 없습니다.";
    return ok;
}

} // namespace

bool CAlrFile::Store(const CTessaryDoc& doc, std::ostream& out, std::string& error) {
    return StoreTo(
               doc,
               [&](const std::uint8_t* bytes, std::size_t n) {
                   out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(n));
                   return static_cast<bool>(out);
               },
               error) &&
           static_cast<bool>(out.flush());
}

bool CAlrFile::Store(const CTessaryDoc& doc, const std::filesystem::path& path,
                     std::string& error) {
    CSafeFile file;
    if (!file.Open(path)) {
        error = "캡처 파일을 만들 수 없습니다: " + CSafeFile::Text(path) + " (" + file.GetReason() +
                ")";
        return false;
    }
    const bool written = StoreTo(
        doc, [&](const std::uint8_t* bytes, std::size_t n) { return file.Write(bytes, n); }, error);
    if (!written || !file.Commit()) {
        error = "캡처 파일을 쓸 수 없습니다: " + CSafeFile::Text(path);
        if (!file.GetReason().empty())
            error += " (" + file.GetReason() + ")";
        return false;
    }
    return true;
}

namespace {

// The file is read straight into the document's storage chunks and each
// record is entered where its bytes lie; a record cut by the end of a chunk
// moves, header and all, to the start of the next one.
template <typename Read> bool LoadFrom(CTessaryDoc& doc, Read&& read, std::string& error) {
    // Until the record count has been read this is no capture at all (an
    // empty file, a folder, a read error), and the capture held so far stays.
    std::uint8_t head[4];
    if (read(head, 4) < 4) {
        error = "캡처 파일이 비어 있거나 레코드 수(파일 위치 0)를 읽기 전에 끝났습니다.";
        return false;
    }
    doc.Clear();
    const std::int32_t count = GetLe32(head);
    if (count < 0) {
        error = Format("캡처 파일이 손상되었습니다: 파일 위치 0의 레코드 수 %d이(가) 음수입니다.",
                       static_cast<int>(count));
        return false;
    }

    std::int32_t done = 0;
    std::uint64_t chunkFileOffset = 4; // file offset of the chunk's first byte
    const std::uint8_t* tail = nullptr;
    std::size_t tailBytes = 0;
    while (done < count) {
        std::uint8_t* chunk = doc.BeginChunk();
        if (tailBytes > 0)
            std::memcpy(chunk, tail, tailBytes);
        std::size_t filled = tailBytes;
        std::size_t pos = 0;
        bool ended = false;
        // What the chunk holds is entered, then the chunk is filled up from
        // the file and entered again.
        for (;;) {
            // Sound whole records go in at once; the loop below looks only
            // at the one that stopped them.
            done += static_cast<std::int32_t>(
                doc.AddFileRecords(pos, filled, static_cast<std::size_t>(count - done)));
            if (done < count && filled - pos >= 8) {
                const std::int32_t length = GetLe32(chunk + pos);
                const std::int32_t direction = GetLe32(chunk + pos + 4);
                if (length < 0 || length > TRAFFIC_MAX_LENGTH ||
                    (direction != TRAFFIC_RX && direction != TRAFFIC_TX)) {
                    const auto record = static_cast<long long>(done) + 1;
                    const auto at = static_cast<long long>(chunkFileOffset + pos);
                    if (length < 0 || length > TRAFFIC_MAX_LENGTH)
                        error = Format("캡처 파일이 손상되었습니다: 레코드 %lld (파일 위치 %lld)의 "
                                       "길이 %lld이(가) 0~4096 범위를 벗어납니다.",
                                       record, at, static_cast<long long>(length));
                    else
                        error = Format("캡처 파일이 손상되었습니다: 레코드 %lld (파일 위치 %lld)의 "
                                       "방향 %lld이(가) 1(수신) 또는 2(송신)가 아닙니다.",
                                       record, at, static_cast<long long>(direction));
                    return false;
                }
            }
            if (done == count || ended || filled == CTessaryDoc::kChunkBytes)
                break;
            const std::size_t want = CTessaryDoc::kChunkBytes - filled;
            const std::size_t got = read(chunk + filled, want);
            filled += got;
            ended = got < want;
        }
        if (done == count)
            break;
        if (ended) {
            const auto record = static_cast<long long>(done) + 1;
            const auto at = static_cast<long long>(chunkFileOffset + pos);
            if (filled - pos < 8)
                error = Format("캡처 파일이 레코드 %lld (파일 위치 %lld)에서 일찍 끝났습니다. "
                               "레코드 %lld개 중 앞의 것만 읽었습니다.",
                               record, at, static_cast<long long>(count));
            else
                error = Format("캡처 파일이 레코드 %lld (파일 위치 %lld)의 데이터 %lld바이트를 다 "
                               "읽기 전에 끝났습니다.",
                               record, at, static_cast<long long>(GetLe32(chunk + pos)));
            return false;
        }
        tail = chunk + pos;
        tailBytes = filled - pos;
        chunkFileOffset += pos;
    }
    return true;
}

} // namespace

bool CAlrFile::Load(CTessaryDoc& doc, std::istream& in, std::string& error) {
    return LoadFrom(
        doc, [&](std::uint8_t* dest, std::size_t n) { return ReadUpTo(in, dest, n); }, error);
}

bool CAlrFile::Load(CTessaryDoc& doc, const std::filesystem::path& path, std::string& error) {
    // On failure to open, the capture held so far stays.
    CReadOnlyFile file;
    if (std::string why; !file.Open(path, why)) {
        error = "캡처 파일을 열 수 없습니다: " + CSafeFile::Text(path) + " (" + why + ")";
        return false;
    }
    const bool loaded = LoadFrom(
        doc, [&](std::uint8_t* dest, std::size_t n) { return file.Read(dest, n); }, error);
    if (!loaded) {
        error.append(" (").append(CSafeFile::Text(path));
        if (!file.GetError().empty())
            error.append(": ").append(file.GetError());
        error.append(")");
    }
    return loaded;
}

std::filesystem::path CAlrFile::OpenPath(const std::string& chosen) {
    std::string upper = chosen;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find(".ALR") != std::string::npos)
        return std::filesystem::path(chosen);
    // Files saved here get ".alr"; take that one when only it exists.
    std::filesystem::path upperSuffix(chosen + ".ALR");
    std::filesystem::path lowerSuffix(chosen + ".alr");
    std::error_code ec;
    if (!std::filesystem::exists(upperSuffix, ec) && std::filesystem::exists(lowerSuffix, ec))
        return lowerSuffix;
    return upperSuffix;
}
