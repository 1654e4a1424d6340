#include "app/CQSettingsStore.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

QString Text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

TEST(QSettingsStore, AFileThatIsNoIniTextIsKeptAsideBeforeItIsRewritten) {
    TempDir dir;
    std::mt19937 random(13);
    std::string junk(3000, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"random bytes", junk},
        {"latin-1", "[SETTING]\nIP=caf\xE9\n"},
        {"a stray line", "[SETTING]\nPORT=120\nthis is not a setting\n"},
    };
    for (const Case& c : cases) {
        const auto path = dir / "QUILLET.conf";
        std::filesystem::remove(dir / "QUILLET.conf.damaged");
        WriteFile(path, c.bytes);
        CQSettingsStore store(Text(path));
        EXPECT_EQ(store.GetStatus(), QSettings::FormatError) << c.name;
        EXPECT_EQ(store.KeepDamagedCopy(), Text(dir / "QUILLET.conf.damaged")) << c.name;
        EXPECT_EQ(ReadFile(dir / "QUILLET.conf.damaged"), c.bytes) << c.name;

        // The exit then rewrites the file; the copy stays as it was.
        store.WriteInt("SETTING", "PORT", 120);
        store.Sync();
        EXPECT_EQ(ReadFile(dir / "QUILLET.conf.damaged"), c.bytes) << c.name;
    }
}

TEST(QSettingsStore, ASoundFileIsNoCauseForACopy) {
    TempDir dir;
    const auto path = dir / "QUILLET.conf";
    WriteFile(path, "; kept by hand\n[SETTING]\nENV=1,9600,N,8,1,0,0\nIP=\"호스트\"\n\n[PORTS]\n"
                    "COM1=/dev/ttyUSB0\n");
    CQSettingsStore store(Text(path));
    EXPECT_EQ(store.GetStatus(), QSettings::NoError);
    EXPECT_EQ(store.KeepDamagedCopy(), QString());
    EXPECT_EQ(store.ReadValue("SETTING", "ENV"), "1,9600,N,8,1,0,0");
    EXPECT_FALSE(std::filesystem::exists(dir / "QUILLET.conf.damaged"));

    CQSettingsStore none(Text(dir / "absent.conf"));
    EXPECT_EQ(none.GetStatus(), QSettings::NoError) << "a first run has no file";
}

} // namespace
