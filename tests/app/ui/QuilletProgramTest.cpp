#include "TestFiles.h"

#include "app/CAlrFile.h"
#include "app/CSafeFile.h"
#include "app/CTessaryDoc.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int m_nStatus = -1;
    QString m_strError;
};

// The program as a user starts it, with a settings folder of its own.
ProgramRun Quillet(const TempDir& dir, const QStringList& args) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.Path().string()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUILLET_PATH), args);
    ProgramRun run;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.m_nStatus = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.m_strError = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

QString Text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

TEST(QuilletProgram, ScreenshotShowsTheWindowAndExitsSavingTheSettings) {
    TempDir dir;
    CTessaryDoc doc;
    const std::uint8_t bytes[] = {0x02, 0x41, 0x0D};
    doc.AddRecord(TRAFFIC_RX, bytes, 3);
    std::string error;
    ASSERT_TRUE(CAlrFile::Store(doc, dir / "capture.alr", error));

    const ProgramRun run =
        Quillet(dir, {QStringLiteral("--screenshot"), Text(dir / "shot.png"),
                      QStringLiteral("--screen"), QStringLiteral("0"), Text(dir / "capture.alr")});
    ASSERT_EQ(run.m_nStatus, 0) << run.m_strError.toStdString();
    const QImage shot(Text(dir / "shot.png"));
    EXPECT_EQ(shot.size(), QSize(680, 575));

    QSettings settings(Text(dir / "Quillet" / "QUILLET.conf"), QSettings::IniFormat);
    EXPECT_EQ(settings.value(QStringLiteral("SETTING/SCREENCHOOSE")).toInt(), 0);
    EXPECT_EQ(settings.value(QStringLiteral("SETTING/COMCHOOSE")).toInt(), 6);
    EXPECT_EQ(settings.value(QStringLiteral("SETTING/SOCKET")).toString(), QStringLiteral("2FFF"));
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString(),
              Text(dir / "capture.alr"));
}

TEST(QuilletProgram, ACommandLineThatMakesNoSenseIsRefused) {
    TempDir dir;
    for (const QStringList& args :
         {QStringList{QStringLiteral("--screen"), QStringLiteral("0")},
          QStringList{QStringLiteral("--screenshot"), QStringLiteral("x.png"),
                      QStringLiteral("--screen"), QStringLiteral("12")},
          QStringList{QStringLiteral("--screenshot"), QString()},
          QStringList{QStringLiteral("--bogus")},
          QStringList{QStringLiteral("a.alr"), QStringLiteral("b.alr")}}) {
        const ProgramRun run = Quillet(dir, args);
        EXPECT_EQ(run.m_nStatus, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(run.m_strError.contains(QStringLiteral("usage: quillet")));
    }
}

TEST(QuilletProgram, ADamagedSettingsFileIsKeptAsideAndSaidSo) {
    std::string junk(1000, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (const std::string& damaged :
         {std::string("[SETTING\nIP=\"unterminated\nPORT=77\n"), junk}) {
        TempDir dir;
        std::filesystem::create_directories(dir / "Quillet");
        ASSERT_TRUE(CSafeFile::WriteAll(dir / "Quillet" / "QUILLET.conf", damaged));
        const ProgramRun run =
            Quillet(dir, {QStringLiteral("--screenshot"), Text(dir / "shot.png")});
        ASSERT_EQ(run.m_nStatus, 0) << run.m_strError.toStdString();
        EXPECT_TRUE(run.m_strError.contains(QStringLiteral("설정 파일이 손상되어")));
        EXPECT_EQ(ReadFile(dir / "Quillet" / "QUILLET.conf.damaged"), damaged);
    }
}

TEST(QuilletProgram, ACaptureOnTheCommandLineIsShownOnTheAnalyzerEvenWhenDamaged) {
    TempDir dir;
    std::filesystem::create_directories(dir / "folder.alr");
    // Two records announced, the second cut short after its header.
    WriteFile(dir / "cut.alr",
              std::string("\x02\0\0\0\x01\0\0\0\x01\0\0\0A\x05\0\0\0\x01\0\0\0", 21));
    struct Case {
        const char* name;
        const char* message;
    } cases[] = {
        {"cut.alr", "레코드 2 (파일 위치 13)"},
        {"folder.alr", "캡처 파일"},
        {"missing.alr", "캡처 파일을 열 수 없습니다"},
    };
    for (const Case& c : cases) {
        // The program was left on the Yaskawa screen.
        std::filesystem::remove_all(dir / "Quillet");
        std::filesystem::create_directories(dir / "Quillet");
        WriteFile(dir / "Quillet" / "QUILLET.conf", "[SETTING]\nSCREENCHOOSE=1\n");
        std::filesystem::remove(dir / "shot.png");
        const ProgramRun run = Quillet(
            dir, {QStringLiteral("--screenshot"), Text(dir / "shot.png"), Text(dir / c.name)});
        EXPECT_EQ(run.m_nStatus, 0) << c.name;
        EXPECT_TRUE(run.m_strError.contains(QString::fromUtf8(c.message)))
            << c.name << ": " << run.m_strError.toStdString();
        EXPECT_TRUE(std::filesystem::exists(dir / "shot.png")) << c.name;
        // What could be read is shown on the analyzer; a file that could not
        // be read at all leaves the screen alone.
        QSettings settings(Text(dir / "Quillet" / "QUILLET.conf"), QSettings::IniFormat);
        EXPECT_EQ(settings.value(QStringLiteral("SETTING/SCREENCHOOSE")).toInt(),
                  std::string(c.name) == "cut.alr" ? 0 : 1)
            << c.name;
    }
}
