#include "app/CSafeFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <set>
#include <string>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

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
        SKIP_WITHOUT_SYMLINK(victim, dir / name);

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
        {dir / "plain" / "cap.alr", kNotADirectory},
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
    if (FileSizeLimit::kWorks) {
        {
            FileSizeLimit limit(8);
            EXPECT_FALSE(CSafeFile::WriteAll(target, std::string(4096, 'n'), &reason));
        }
        EXPECT_EQ(reason, "File too large");
        EXPECT_EQ(ReadFile(target), "old capture");
        EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"cap.alr", "folder", "plain"}));
    }

    // Nothing written to the folder by checking it.
    EXPECT_TRUE(CSafeFile::CanWrite(dir / "new.alr", reason));
    EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"cap.alr", "folder", "plain"}));
}

TEST(SafeFile, WhatIsNoRegularFileIsRefusedAndLeftAsItWas) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder holds no FIFO, socket or device node";
#else
    TempDir dir;
    const auto fifo = dir / "fifo.alr";
    const auto device = dir / "null.alr";
    const auto socket = dir / "sock.alr";
    const auto link = dir / "link.alr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket.native().size(), sizeof address.sun_path);
    socket.native().copy(address.sun_path, socket.native().size());
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink(fifo, link); // followed: the FIFO is refused

    struct Case {
        std::filesystem::path path;
        std::string reason;
    } cases[] = {
        {fifo, "일반 파일이 아닙니다: FIFO"},
        {socket, "일반 파일이 아닙니다: 소켓"},
        {link, "일반 파일이 아닙니다: FIFO"},
        {device, "일반 파일이 아닙니다: 장치"},
    };
    // /dev/null's own numbers, in a folder of ours: only root may make it.
    const bool root = ::geteuid() == 0;
    if (root)
        ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    else
        std::cout << "[ SKIPPED  ] the device node case: only root can make one\n";
    for (const Case& c : cases) {
        if (c.path == device && !root)
            continue;
        const auto type = std::filesystem::status(c.path).type();
        std::string reason;
        EXPECT_FALSE(CSafeFile::CanWrite(c.path, reason)) << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
        reason.clear();
        EXPECT_FALSE(CSafeFile::WriteAll(c.path, "data", &reason)) << c.path;
        EXPECT_EQ(reason, c.reason) << c.path;
        EXPECT_EQ(std::filesystem::status(c.path).type(), type) << c.path;
    }
    ::close(s);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Names(dir.Path()).size(), root ? 4u : 3u) << "no temporary file left";
#endif
}

// The kernel's fs.protected_symlinks rule, kept by the save whatever the
// sysctl says: in a sticky world-writable folder (/tmp) a link is followed
// only when it belongs to the saver or to the folder's owner. Otherwise
// another user's link could send root's save anywhere.
TEST(SafeFile, AnotherUsersLinkInAStickyFolderIsNotFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no sticky folders and no link owners";
#else
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    constexpr uid_t kNobody = 65534;
    TempDir dir;
    struct Case {
        const char* name;
        std::filesystem::perms folderMode;
        uid_t folderOwner;
        uid_t linkOwner;
        bool followed;
    } cases[] = {
        {"others-link-sticky", std::filesystem::perms(01777), 0, kNobody, false},
        {"own-link-sticky", std::filesystem::perms(01777), 0, 0, true},
        {"folder-owners-link", std::filesystem::perms(01777), kNobody, kNobody, true},
        {"others-link-not-sticky", std::filesystem::perms(0777), 0, kNobody, true},
        {"others-link-private", std::filesystem::perms(01755), 0, kNobody, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto folder = dir / c.name;
        const auto victim = dir / (std::string(c.name) + ".victim");
        const auto link = folder / "cap.alr";
        std::filesystem::create_directory(folder);
        WriteFile(victim, "precious");
        std::filesystem::create_symlink(victim, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
        std::filesystem::permissions(folder, c.folderMode);

        std::string reason;
        EXPECT_EQ(CSafeFile::WriteAll(link, "new capture", &reason), c.followed) << reason;
        EXPECT_EQ(ReadFile(victim), c.followed ? "new capture" : "precious");
        EXPECT_EQ(reason, c.followed ? "" : "Permission denied");
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link itself is never replaced";
        EXPECT_EQ(Names(folder), std::set<std::string>{"cap.alr"}) << "no temporary file left";
    }

    // A link of one's own that leads on through another user's link.
    const auto own = dir / "own.alr";
    std::filesystem::create_symlink(dir / "others-link-sticky" / "cap.alr", own);
    std::string reason;
    EXPECT_FALSE(CSafeFile::WriteAll(own, "new capture", &reason));
    EXPECT_EQ(reason, "Permission denied");
    EXPECT_EQ(ReadFile(dir / "others-link-sticky.victim"), "precious");
#endif
}

} // namespace
