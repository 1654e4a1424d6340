#include "analyzer/CRecordInfo.h"

#include "app/CTessaryDoc.h"

#include <cstdio>
#include <ctime>

namespace {

std::string Millis(std::int64_t us) {
    // Rounded to the microsecond shown as milliseconds with three decimals.
    const bool negative = us < 0;
    const std::int64_t a = negative ? -us : us;
    char text[48];
    std::snprintf(text, sizeof text, "%s%lld.%03lld ms", negative ? "-" : "+",
                  static_cast<long long>(a / 1000), static_cast<long long>(a % 1000));
    return text;
}

} // namespace

std::string CRecordInfo::LocalTime(std::int64_t timeUs) {
    // Floor division, so times before 1970 still split into a whole second
    // and a millisecond part within it.
    std::int64_t seconds = timeUs / 1000000;
    std::int64_t rest = timeUs % 1000000;
    if (rest < 0) {
        --seconds;
        rest += 1000000;
    }
    const auto t = static_cast<std::time_t>(seconds);
    const std::tm* local = std::localtime(&t);
    if (!local)
        return "?";
    char day[40];
    if (std::strftime(day, sizeof day, "%Y-%m-%d %H:%M:%S", local) == 0)
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03d", day, static_cast<int>(rest / 1000));
    return text;
}

std::string CRecordInfo::Gap(const CTessaryDoc& doc, std::size_t index) {
    if (index == 0 || index >= doc.GetCount())
        return {};
    const std::int64_t now = doc.GetRecord(index).m_nTimeUs;
    const std::int64_t before = doc.GetRecord(index - 1).m_nTimeUs;
    if (now == 0 || before == 0)
        return {};
    return Millis(now - before);
}

std::string CRecordInfo::Tooltip(const CTessaryDoc& doc, std::size_t index) {
    if (index >= doc.GetCount())
        return {};
    const TrafficRecord rec = doc.GetRecord(index);
    std::string text =
        "블록 " + std::to_string(index + 1) + " / " + std::to_string(doc.GetCount()) + "\n";
    text += rec.m_nTimeUs == 0 ? std::string(kNoTimes) : "시각: " + LocalTime(rec.m_nTimeUs);
    text += rec.m_nDirection == TRAFFIC_TX ? "\n방향: 송신 (TX)" : "\n방향: 수신 (RX)";
    text += "\n길이: " + std::to_string(rec.m_nLength) + " 바이트";
    if (rec.m_nTimeUs != 0) {
        const std::string gap = Gap(doc, index);
        text += "\n앞 블록과의 간격: " + (gap.empty() ? std::string("-") : gap);
    }
    return text;
}

std::string CRecordInfo::DumpLine(const CTessaryDoc& doc, std::size_t index) {
    const TrafficRecord rec = doc.GetRecord(index);
    const std::string gap = Gap(doc, index);
    return std::to_string(index + 1) + '\t' + (rec.m_nDirection == TRAFFIC_TX ? 'T' : 'R') + '\t' +
           std::to_string(rec.m_nLength) + '\t' +
           (rec.m_nTimeUs == 0 ? std::string("-") : LocalTime(rec.m_nTimeUs)) + '\t' +
           (gap.empty() ? std::string("-") : gap);
}
