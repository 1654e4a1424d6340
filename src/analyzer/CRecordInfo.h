#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CTessaryDoc;

// What the analyzer tells about one captured block when the mouse rests on
// one of its bytes, and what "dump --times" prints per record: its arrival
// time to the millisecond in local time, direction, length and the gap to
// the block before it. A capture loaded from an .ALR file has no times (the
// file keeps none): that is said, no time is made up.
class CRecordInfo {
public:
    static constexpr const char* kNoTimes = "시각 없음 (.ALR 파일은 시각을 저장하지 않습니다)";

    // "2026-12-10 20:41:07.123" in local time.
    static std::string LocalTime(std::int64_t timeUs);
    // "+3.456 ms" from the block before, "" for the first block or when
    // either has no time.
    static std::string Gap(const CTessaryDoc& doc, std::size_t index);
    // The lines of the analyzer's tooltip for record `index`.
    static std::string Tooltip(const CTessaryDoc& doc, std::size_t index);
    // One line for "dump --times": index, R or T, length, time and gap,
    // TAB-separated ("-" for a time or gap that is not there).
    static std::string DumpLine(const CTessaryDoc& doc, std::size_t index);
};
