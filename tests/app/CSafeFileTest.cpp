#include "app/CSafeFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(SafeFile, TwoSavesToOneFileAtOnceLeaveOneOfThemWhole) {
    TempDir dir;
    const auto target = dir / "cap.alr";
    CSafeFile first, second;
    ASSERT_TRUE(first.Open(target));
    ASSERT_TRUE(second.Open(target));
    EXPECT_NE(first.GetTempPath(), second.GetTempPath());
    EXPECT_EQ(first.GetTempPath().parent_path(), dir.Path()) << "beside the target";

    const std::string a(100000, 'a'), b(50, 'b');
    ASSERT_TRUE(first.Write(a.data(), a.size()));
    ASSERT_TRUE(second.Write(b.data(), b.size()));
    EXPECT_TRUE(second.Commit());
    EXPECT_EQ(ReadFile(target), b);
    EXPECT_TRUE(first.Commit());
    EXPECT_EQ(ReadFile(target), a);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"cap.alr"}) << "no temporary file left";
}

TEST(SafeFile, ALinkPlantedAtATemporaryNameIsNeverWrittenThrough) {
    TempDir dir;
    const auto target = dir / "yaskawa_plc.ini";
    const auto victim = dir / "victim";
    WriteFile(victim, "precious");
    // The names a save could be expected to use, each a link to the victim.
    for (const char* name : {"yaskawa_plc.ini.tmp~", "yaskawa_plc.ini.tmp", ".yaskawa_plc.ini.swp"})
        std::filesystem::create_symlink(victim, dir / name);

    ASSERT_TRUE(CSafeFile::WriteAll(target, "new rows"));
    EXPECT_EQ(ReadFile(target), "new rows");
    EXPECT_FALSE(std::filesystem::is_symlink(target));
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "yaskawa_plc.ini.tmp~"));
    EXPECT_EQ(Names(dir.Path()).size(), 5u) << "the target, the victim, three links";
}

TEST(SafeFile, AFailedSaveKeepsTheOldFileAndNamesTheSystemsReason) {
    TempDir dir;
    const auto target = dir / "cap.alr";
    WriteFile(target, "old capture");
    WriteFile(dir / "plain", "x");
    std::filesystem::create_directory(dir / "folder");

    struct Case {
        std::filesystem::path path;
        std::string reason;
    } cases[] = {
        {dir / "absent" / "cap.alr", "No such file or directory"},
        {dir / "plain" / "cap.alr", "Not a directory"},
        {dir / "folder", "Is a directory"},
    };
    for (const Case& c : cases) {
        std::string reason;
        EXPECT_FALSE(CSafeFile::CanWrite(c.path, reason)) << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
        reason.clear();
        EXPECT_FALSE(CSafeFile::WriteAll(c.path, "data", &reason));
        EXPECT_EQ(reason, c.reason) << c.path;
    }

    // The disk "fills" half way through the write.
    std::string reason;
    {
        FileSizeLimit limit(8);
        EXPECT_FALSE(CSafeFile::WriteAll(target, std::string(4096, 'n'), &reason));
    }
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(ReadFile(target), "old capture");
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"cap.alr", "folder", "plain"}));

    // Nothing written to the folder by checking it.
    EXPECT_TRUE(CSafeFile::CanWrite(dir / "new.alr", reason));
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"cap.alr", "folder", "plain"}));
}

} // namespace
