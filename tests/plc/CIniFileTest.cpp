#include "plc/CIniFile.h"
#include "TestFiles.h"
#include "link/CCp949.h"
#include "plc/CPrivateProfile.h"

#include <gtest/gtest.h>

namespace {

class IniFile : public ::testing::Test {
protected:
    TempDir m_dir;
};

TEST_F(IniFile, WritesTheYaskawaRowAsTheProgramDoes) {
    const auto path = m_dir / "yaskawa_plc.ini";
    const char* keys[] = {"COMMTYPE",   "SLAVEADDRESS", "PLCDEVICETYPE",
                          "PLCADDRESS", "DATACOUNT",    "ANINDEX"};
    const char* values[] = {"자동읽기", "1", "WORD", "0", "1", "0"};
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(CPrivateProfile::WriteString("YASKAWA_INI0", keys[i], values[i], path));
    ASSERT_TRUE(CPrivateProfile::WriteString("YASKAWA_INI1", "COMMTYPE", "", path));
    const std::string expected = "[YASKAWA_INI0]\r\nCOMMTYPE=" + CCp949::FromUtf8("자동읽기") +
                                 "\r\nSLAVEADDRESS=1\r\nPLCDEVICETYPE=WORD\r\nPLCADDRESS=0\r\n"
                                 "DATACOUNT=1\r\nANINDEX=0\r\n[YASKAWA_INI1]\r\nCOMMTYPE=\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(CPrivateProfile::GetString("yaskawa_ini0", "commtype", "", path), "자동읽기");
    EXPECT_EQ(CPrivateProfile::GetString("YASKAWA_INI1", "COMMTYPE", "x", path), "");
    EXPECT_EQ(CPrivateProfile::GetString("YASKAWA_INI2", "COMMTYPE", "", path), "");
}

TEST_F(IniFile, ReadingFollowsTheProfileRules) {
    CIniFile ini;
    ini.LoadFromBytes("; comment\nstray=1\n[Alpha]\n  Key One =  value with blanks  \n"
                      "quoted=\"  kept  \"\nsingle='x'\nhalf=\"x\nnoequals\nkey one=second\n"
                      "[ALPHA]\nlater=1\n  [ Beta ]  \nk=v");
    EXPECT_EQ(ini.GetString("alpha", "KEY ONE"), "value with blanks"); // first key wins
    EXPECT_EQ(ini.GetString("Alpha", "quoted"), "  kept  ");
    EXPECT_EQ(ini.GetString("Alpha", "single"), "x");
    EXPECT_EQ(ini.GetString("Alpha", "half"), "\"x");
    EXPECT_TRUE(ini.HasKey("Alpha", "noequals"));
    EXPECT_EQ(ini.GetString("Alpha", "noequals", "d"), "");
    EXPECT_FALSE(ini.HasKey("Alpha", "later")); // only the first [ALPHA] counts
    EXPECT_EQ(ini.GetString("beta", "K"), "v");
    EXPECT_EQ(ini.GetString("nowhere", "stray", "def"),
              "def"); // keys before any section are not read
    EXPECT_EQ(ini.GetString("Alpha", "missing", "def"), "def");
}

TEST_F(IniFile, WritingOneValueKeepsEverythingElse) {
    const std::string original =
        "; top comment\n[First]\nA=1\n\n; about B\nB = 2\n\n[Second]\r\nC=3";
    CIniFile ini;
    ini.LoadFromBytes(original);
    EXPECT_EQ(ini.ToBytes(), original); // untouched lines come back byte for byte

    ini.SetString("FIRST", "b", "20");  // replaced in place, spelling of the key kept
    ini.SetString("first", "New", "n"); // after the last non-blank line of the section
    ini.SetString("second", "D", "4");  // the unterminated last line gets an ending
    ini.SetString("Third", "E", "5");   // a new section at the end
    EXPECT_EQ(ini.ToBytes(), "; top comment\n[First]\nA=1\n\n; about B\nB=20\nNew=n\r\n\n"
                             "[Second]\r\nC=3\r\nD=4\r\n[Third]\r\nE=5\r\n");

    // An empty key name matches nothing, not the blank and comment lines.
    const std::string kept = ini.ToBytes();
    ini.SetString("First", "  ", "x");
    ini.DeleteKey("First", "");
    EXPECT_EQ(ini.ToBytes(), kept);

    ini.DeleteKey("first", "a");
    ini.DeleteSection("SECOND");
    EXPECT_FALSE(ini.HasKey("First", "A"));
    EXPECT_FALSE(ini.HasSection("Second"));
    EXPECT_EQ(ini.GetString("Third", "E"), "5");
}

TEST_F(IniFile, CaseFoldingLeavesKoreanCharactersAlone) {
    // 갂 is 81 41 and 갵 is 81 61: their second bytes look like 'A' and 'a'.
    CIniFile ini;
    ini.LoadFromBytes(CCp949::FromUtf8("[갂]\r\n키=1\r\n[ABC]\r\nX=2\r\n"));
    EXPECT_TRUE(ini.HasSection("갂"));
    EXPECT_FALSE(ini.HasSection("갵"));
    EXPECT_EQ(ini.GetString("갵", "키", "none"), "none");
    EXPECT_EQ(ini.GetString("abc", "x"), "2");
}

TEST_F(IniFile, AFailedSaveLeavesTheFileAsItWas) {
    const auto path = m_dir / "melsec_plc.ini";
    ASSERT_TRUE(CPrivateProfile::WriteString("MELSEC_INI0", "COMMTYPE", "자동쓰기", path));
    const std::string before = ReadFile(path);
    if (FileSizeLimit::kWorks) {
        FileSizeLimit limit(4);
        EXPECT_FALSE(CPrivateProfile::WriteString("MELSEC_INI0", "COMMTYPE", "", path));
    }
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 1)
        << "the temporary file is gone";
}

TEST_F(IniFile, WritingThroughALinkKeepsTheLinkAndThePermissions) {
    const auto real = m_dir / "shared.ini";
    const auto link = m_dir / "ab_plc.ini";
    ASSERT_TRUE(CPrivateProfile::WriteString("AB_INI0", "COMMTYPE", "", real));
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    SKIP_WITHOUT_SYMLINK(real, link);
    ASSERT_TRUE(CPrivateProfile::WriteString("AB_INI0", "COMMTYPE", "자동읽기", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(CPrivateProfile::GetString("AB_INI0", "COMMTYPE", "", real), "자동읽기");
    EXPECT_EQ(std::filesystem::status(real).permissions(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
}

TEST_F(IniFile, ValuesAreCp949OnDiskAndReadUpTo4095Bytes) {
    const auto path = m_dir / "user_plc.ini";
    ASSERT_TRUE(CPrivateProfile::WriteString("섹션", "키", "자동쓰기", path));
    EXPECT_EQ(ReadFile(path), CCp949::FromUtf8("[섹션]\r\n키=자동쓰기\r\n"));
    EXPECT_EQ(CPrivateProfile::GetString("섹션", "키", "", path), "자동쓰기");

    CIniFile ini;
    ini.SetString("S", "long", std::string(5000, 'x'));
    EXPECT_EQ(ini.GetString("S", "long").size(), 4095u);
    // A two-byte character that would straddle the limit is left out whole.
    std::string value = std::string(4094, 'x') + "한";
    ini.SetString("S", "k", value);
    EXPECT_EQ(ini.GetString("S", "k"), std::string(4094, 'x'));
}

TEST_F(IniFile, MissingOrUnreadableFilesReadAsEmpty) {
    CIniFile ini;
    EXPECT_FALSE(ini.Load(m_dir / "absent.ini"));
    EXPECT_EQ(ini.GetString("A", "B", "d"), "d");
    EXPECT_FALSE(ini.Load(m_dir.Path())); // a folder, not a file
    EXPECT_EQ(CPrivateProfile::GetString("A", "B", "", m_dir / "absent.ini"), "");
    // An existing path that cannot be read is not overwritten.
    EXPECT_FALSE(CPrivateProfile::WriteString("A", "B", "1", m_dir.Path()));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path()));
    // Writing into a folder that does not exist fails and says so.
    EXPECT_FALSE(CPrivateProfile::WriteString("A", "B", "1", m_dir / "no" / "x.ini"));
}

TEST_F(IniFile, ManySectionsAreFoundQuickly) {
    // The row scan asks for up to 10000 sections; each lookup is a hash hit.
    CIniFile ini;
    for (int i = 0; i < 5000; ++i)
        ini.SetString("ROW" + std::to_string(i), "COMMTYPE", "자동읽기");
    ini.SetString("ROW5000", "COMMTYPE", "");
    CIniFile back;
    back.LoadFromBytes(ini.ToBytes());
    int rows = 0;
    while (rows < 10000 && !back.GetString("row" + std::to_string(rows), "commtype").empty())
        ++rows;
    EXPECT_EQ(rows, 5000);
}

} // namespace

namespace {

// What cannot be read says why; a FIFO is refused, not waited on; a file an
// editor saved as UTF-8 with a byte order mark reads as the program's own.
TEST_F(IniFile, LoadSaysWhyAndReadsUtf8WithAByteOrderMark) {
    CIniFile ini;
    EXPECT_FALSE(ini.Load(m_dir / "none.ini"));
    EXPECT_EQ(ini.GetLoadError(), "No such file or directory");
    std::filesystem::create_directory(m_dir / "dir.ini");
    EXPECT_FALSE(ini.Load(m_dir / "dir.ini"));
    EXPECT_EQ(ini.GetLoadError(), "Is a directory");
    if (kSpecialFiles) {
        ASSERT_TRUE(MakeFifo(m_dir / "fifo.ini"));
        EXPECT_FALSE(ini.Load(m_dir / "fifo.ini"));
        EXPECT_EQ(ini.GetLoadError(), "not a regular file");
    }

    WriteFile(m_dir / "utf8.ini", "\xEF\xBB\xBF[YASKAWA_INI0]\r\nCOMMTYPE=자동읽기\r\n");
    ASSERT_TRUE(ini.Load(m_dir / "utf8.ini"));
    EXPECT_EQ(ini.GetLoadError(), "");
    EXPECT_EQ(ini.GetString("YASKAWA_INI0", "COMMTYPE"), "자동읽기");
    EXPECT_EQ(ini.ToBytes(), "[YASKAWA_INI0]\r\nCOMMTYPE=" + CCp949::FromUtf8("자동읽기") + "\r\n");
}

} // namespace
