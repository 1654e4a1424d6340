#include "analyzer/CRecordInfo.h"
#include "app/CTessaryDoc.h"

#include <gtest/gtest.h>

namespace {

const std::uint8_t kBytes[] = {1, 2, 3};

TEST(RecordInfo, TimedCaptureShowsTimeDirectionLengthAndGap) {
    CTessaryDoc doc;
    const std::int64_t t = 1765400000123456; // .123 456 s
    doc.AddRecord(TRAFFIC_TX, kBytes, 3, t);
    doc.AddRecord(TRAFFIC_RX, kBytes, 2, t + 3456);
    doc.AddRecord(TRAFFIC_RX, kBytes, 1, t + 3456 + 2000000);

    EXPECT_EQ(CRecordInfo::Gap(doc, 0), "");
    EXPECT_EQ(CRecordInfo::Gap(doc, 1), "+3.456 ms");
    EXPECT_EQ(CRecordInfo::Gap(doc, 2), "+2000.000 ms");

    const std::string first = CRecordInfo::Tooltip(doc, 0);
    EXPECT_NE(first.find(CRecordInfo::LocalTime(t)), std::string::npos) << first;
    EXPECT_NE(first.find(".123"), std::string::npos) << first; // milliseconds, not rounded up
    EXPECT_NE(first.find("송신"), std::string::npos) << first;
    EXPECT_NE(first.find("3 바이트"), std::string::npos) << first;
    const std::string second = CRecordInfo::Tooltip(doc, 1);
    EXPECT_NE(second.find("수신"), std::string::npos) << second;
    EXPECT_NE(second.find("+3.456 ms"), std::string::npos) << second;
    EXPECT_EQ(CRecordInfo::DumpLine(doc, 1),
              "2\tR\t2\t" + CRecordInfo::LocalTime(t + 3456) + "\t+3.456 ms");
    EXPECT_EQ(CRecordInfo::Tooltip(doc, 3), ""); // past the end
}

TEST(RecordInfo, LoadedCaptureSaysItHasNoTimes) {
    CTessaryDoc doc;
    doc.AddRecord(TRAFFIC_TX, kBytes, 3);
    doc.AddRecord(TRAFFIC_RX, kBytes, 1);
    const std::string tip = CRecordInfo::Tooltip(doc, 1);
    EXPECT_NE(tip.find(CRecordInfo::kNoTimes), std::string::npos) << tip;
    EXPECT_EQ(tip.find("간격"), std::string::npos) << tip; // no gap made up either
    EXPECT_EQ(CRecordInfo::DumpLine(doc, 1), "2\tR\t1\t-\t-");
}

} // namespace
