#include "plc/CPlcSettingsFile.h"
#include "PlcTestSupport.h"
#include "link/CCp949.h"
#include "plc/CIniFile.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

class PlcSettingsFile : public ::testing::Test {
protected:
    TempDir m_dir;
    CPlcSettingsFile m_yaskawa{CPlcSettingsFile::PLC_YASKAWA};
};

TEST_F(PlcSettingsFile, SavesOneYaskawaRowAsTheProgramWritesIt) {
    const auto path = m_dir / "yaskawa_plc.ini";
    ASSERT_TRUE(m_yaskawa.SaveRows(path, {ReadRow(1, 0, 1, 0)}));
    const std::string expected = "[YASKAWA_INI0]\r\nCOMMTYPE=" + CCp949::FromUtf8("자동읽기") +
                                 "\r\nSLAVEADDRESS=1\r\nPLCDEVICETYPE=WORD\r\nPLCADDRESS=0\r\n"
                                 "DATACOUNT=1\r\nANINDEX=0\r\n[YASKAWA_INI1]\r\nCOMMTYPE=\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(m_yaskawa.LoadRows(path), std::vector<CellRow>{ReadRow(1, 0, 1, 0)});
}

// Each PLC's keys land in the record fields of the same name.
TEST_F(PlcSettingsFile, EveryPlcReadsItsKeysIntoTheirFields) {
    struct Case {
        int plc;
        const char* file;
        CellRow cells;
        PlcRequestRow expected;
    };
    auto row = [](auto fill) {
        PlcRequestRow r;
        fill(r);
        return r;
    };
    const Case cases[] = {
        {CPlcSettingsFile::PLC_YASKAWA,
         "yaskawa_plc.ini",
         {"자동쓰기", "7", "WORD", "100", "2", "5"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동쓰기", r.m_nSlaveAddress = 7, r.m_strDeviceType = "WORD";
             r.m_nPlcAddress = 100, r.m_nDataCount = 2, r.m_nAnIndex = 5;
         })},
        {CPlcSettingsFile::PLC_SIMENS,
         "simens_plc.ini",
         {"자동읽기", "WORD", "10", "20", "3", "4"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동읽기", r.m_strDeviceType = "WORD", r.m_nDbAddress = 10;
             r.m_nDwAddress = 20, r.m_nDataCount = 3, r.m_nAnIndex = 4;
         })},
        {CPlcSettingsFile::PLC_AB,
         "ab_plc.ini",
         {"자동읽기", "WORD", "N7", "1", "2", "30", "4", "5"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동읽기", r.m_strDeviceType = "WORD", r.m_strDeviceName = "N7";
             r.m_nSrc = 1, r.m_nDst = 2, r.m_nPlcAddress = 30, r.m_nDataCount = 4;
             r.m_nAnIndex = 5;
         })},
        {CPlcSettingsFile::PLC_MASTERK,
         "masterk_plc.ini",
         {"자동읽기", "3", "BIT", "P", "40", "5", "6"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동읽기", r.m_nStationNum = 3, r.m_strDeviceType = "BIT";
             r.m_strDeviceName = "P", r.m_nPlcAddress = 40, r.m_nDataCount = 5;
             r.m_nAnIndex = 6;
         })},
        {CPlcSettingsFile::PLC_POSFA,
         "posfa_plc.ini",
         {"자동읽기", "1", "2", "WORD", "D", "50", "6", "7"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동읽기", r.m_nStationNum = 1, r.m_nPlcNum = 2;
             r.m_strDeviceType = "WORD", r.m_strDeviceName = "D", r.m_nPlcAddress = 50;
             r.m_nDataCount = 6, r.m_nAnIndex = 7;
         })},
        {CPlcSettingsFile::PLC_MELSEC,
         "melsec_plc.ini",
         {"자동쓰기", "0", "255", "WORD", "D", "60", "7", "8"},
         row([](PlcRequestRow& r) {
             r.m_strCommType = "자동쓰기", r.m_nStationNum = 0, r.m_nPlcNum = 255;
             r.m_strDeviceType = "WORD", r.m_strDeviceName = "D", r.m_nPlcAddress = 60;
             r.m_nDataCount = 7, r.m_nAnIndex = 8;
         })},
    };
    const char* prefixes[] = {"YASKAWA_INI", "SIMENS_INI", "AB_INI",
                              "MASTERK_INI", "POSFA_INI",  "MELSEC_INI"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        CPlcSettingsFile file(c.plc);
        ASSERT_EQ(file.GetColumnCount(), static_cast<int>(c.cells.size()));
        EXPECT_EQ(file.CurrentPath().filename(), c.file);
        EXPECT_EQ(file.SectionName(12), prefixes[c.plc - 1] + std::string("12"));
        const auto path = m_dir / c.file;
        ASSERT_TRUE(file.SaveRows(path, {c.cells}));
        const auto rows = file.ReadRows(path);
        ASSERT_EQ(rows.size(), 1u);
        const PlcRequestRow& r = rows[0];
        const PlcRequestRow& e = c.expected;
        EXPECT_EQ(r.m_strCommType, e.m_strCommType);
        EXPECT_EQ(r.m_strDeviceType, e.m_strDeviceType);
        EXPECT_EQ(r.m_strDeviceName, e.m_strDeviceName);
        EXPECT_EQ(r.m_nSlaveAddress, e.m_nSlaveAddress);
        EXPECT_EQ(r.m_nStationNum, e.m_nStationNum);
        EXPECT_EQ(r.m_nPlcNum, e.m_nPlcNum);
        EXPECT_EQ(r.m_nSrc, e.m_nSrc);
        EXPECT_EQ(r.m_nDst, e.m_nDst);
        EXPECT_EQ(r.m_nDbAddress, e.m_nDbAddress);
        EXPECT_EQ(r.m_nDwAddress, e.m_nDwAddress);
        EXPECT_EQ(r.m_nPlcAddress, e.m_nPlcAddress);
        EXPECT_EQ(r.m_nDataCount, e.m_nDataCount);
        EXPECT_EQ(r.m_nAnIndex, e.m_nAnIndex);
        EXPECT_EQ(file.LoadRows(path), std::vector<CellRow>{c.cells});
    }
    EXPECT_FALSE(CPlcSettingsFile(0).IsValid());
    EXPECT_FALSE(CPlcSettingsFile(7).IsValid());
}

TEST_F(PlcSettingsFile, TheFirstEmptyCommTypeEndsTheRows) {
    const auto path = m_dir / "yaskawa_plc.ini";
    // No rows: only the terminator.
    ASSERT_TRUE(m_yaskawa.SaveRows(path, {}));
    EXPECT_EQ(ReadFile(path), "[YASKAWA_INI0]\r\nCOMMTYPE=\r\n");
    EXPECT_TRUE(m_yaskawa.LoadRows(path).empty());
    EXPECT_TRUE(m_yaskawa.ReadRows(path).empty());

    // Three rows over five: sections 3 and 4 stay, hidden by the new end.
    std::vector<CellRow> five;
    for (int i = 0; i < 5; ++i)
        five.push_back(ReadRow(1, i, 1, i));
    ASSERT_TRUE(m_yaskawa.SaveRows(path, five));
    ASSERT_TRUE(m_yaskawa.SaveRows(path, {five[0], five[1], five[2]}));
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetString("YASKAWA_INI3", "COMMTYPE"), "");
    EXPECT_EQ(ini.GetString("YASKAWA_INI3", "PLCADDRESS"), "3");
    EXPECT_EQ(ini.GetString("YASKAWA_INI4", "COMMTYPE"), "자동읽기");
    EXPECT_EQ(m_yaskawa.LoadRows(path).size(), 3u);

    // A missing section counts as an empty COMMTYPE.
    WriteFile(path, "[YASKAWA_INI0]\nCOMMTYPE=a\n[YASKAWA_INI1]\nCOMMTYPE=b\n"
                    "[YASKAWA_INI2]\nCOMMTYPE=c\n[YASKAWA_INI4]\nCOMMTYPE=e\n");
    EXPECT_EQ(m_yaskawa.ReadRows(path).size(), 3u);

    // A missing file and an unreadable one read as empty.
    EXPECT_TRUE(m_yaskawa.LoadRows(m_dir / "none.ini").empty());
    std::filesystem::create_directory(m_dir / "dir.ini");
    EXPECT_TRUE(m_yaskawa.ReadRows(m_dir / "dir.ini").empty());
    EXPECT_FALSE(m_yaskawa.SaveRows(m_dir / "dir.ini", {ReadRow(1, 0, 1, 0)}));
}

TEST_F(PlcSettingsFile, TheCountStopsAt9999Sections) {
    std::string text;
    for (int k = 0; k <= 9999; ++k)
        text += "[YASKAWA_INI" + std::to_string(k) + "]\nCOMMTYPE=x\n";
    CIniFile ini;
    ini.LoadFromBytes(text);
    EXPECT_EQ(m_yaskawa.CountRows(ini), 9999);
}

TEST_F(PlcSettingsFile, DecimalKeysTakeTheLeadingNumber) {
    const std::pair<const char*, int> cases[] = {
        {"12", 12},
        {"  12abc", 12},
        {"\t-5", -5},
        {"+7", 7},
        {"", 0},
        {"abc", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"2147483647", INT_MAX},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CPlcSettingsFile::ParseDecimal(text), value) << '"' << text << '"';
}

} // namespace
