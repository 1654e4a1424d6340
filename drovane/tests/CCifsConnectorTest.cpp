#include "CCifsConnector.h"
#include "CRememberedDrives.h"
#include "QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

unsigned Mode(const QString& strPath) {
    struct stat st {};
    return ::stat(QFile::encodeName(strPath).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
}

struct ProgramRun {
    QString m_strProgram;
    QStringList m_args;
    QStringList m_environment;
    QByteArray m_password; // what the program could read from PASSWD_FD
};

// Stands for smbclient and mount.cifs: answers with scripted results and
// records how each was called.
struct FakePrograms {
    CCifsConnector::RunResult m_probe{0, {}};
    CCifsConnector::RunResult m_mount{0, {}};
    QList<ProgramRun> m_runs;

    CCifsConnector::Runner Runner() {
        return [this](const QString& strProgram, const QStringList& args,
                      const QStringList& environment, const QByteArray& password) {
            m_runs.append({strProgram, args, environment, password});
            return strProgram == QStringLiteral("smbclient") ? m_probe : m_mount;
        };
    }
};

struct Fixture {
    QTemporaryDir dir;
    FakePrograms programs;
    CCifsConnector::Options options;

    Fixture() {
        options.m_strMountBase = dir.filePath(QStringLiteral("Network"));
        options.m_strDrivesFile = dir.filePath(QStringLiteral("config/drovane/drives"));
        options.m_nPort = 14445;
    }
    CCifsConnector Connector() { return CCifsConnector(options, programs.Runner()); }

    int Connect2(const QString& strRemote, const QString& strLocal, unsigned nFlags = 1) {
        NetResource resource;
        resource.m_strRemoteName = strRemote;
        resource.m_strLocalName = strLocal;
        return Connector().AddConnection2(resource, QStringLiteral("s3cret,pw"),
                                          QStringLiteral("engineer"), nFlags);
    }
    QString Drives() const {
        QFile file(options.m_strDrivesFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

// The password is handed over as it is, blanks, "=", "%" and TABs
// included, and never in an argument, the environment or a file; the user
// name goes in USER and its domain apart.
TEST(CifsConnector, HandsThePasswordOverOnlyThroughThePipe) {
    const struct {
        QString strUser;
        QString strPassword;
        QString strDomain;
    } rows[] = {
        {QStringLiteral("engineer"), QStringLiteral("s3cret,pw"), {}},
        {QStringLiteral("engineer"), QStringLiteral(" leading=blank%pw"), {}},
        {QStringLiteral("engineer"), QStringLiteral("tab\there "), {}},
        {QStringLiteral("PLANT\\engineer"), QStringLiteral("pw"), QStringLiteral("PLANT")},
        {QStringLiteral("-reverse"), QString(), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.strUser + QLatin1Char('/') + row.strPassword).toStdString());
        Fixture f;
        NetResource resource;
        resource.m_strRemoteName = QStringLiteral("\\\\127.0.0.1\\data\\plc");
        resource.m_strLocalName = QStringLiteral("z:");
        ASSERT_EQ(f.Connector().AddConnection2(resource, row.strPassword, row.strUser, 1), 0);
        ASSERT_EQ(f.programs.m_runs.size(), 2);

        const ProgramRun& probe = f.programs.m_runs[0];
        EXPECT_EQ(probe.m_strProgram, QStringLiteral("smbclient"));
        EXPECT_EQ(probe.m_args.first(), QStringLiteral("//127.0.0.1/data"));
        EXPECT_TRUE(probe.m_args.contains(QStringLiteral("--user=engineer")) ||
                    probe.m_args.contains(QStringLiteral("--user=-reverse")));
        EXPECT_EQ(probe.m_args.contains(QStringLiteral("--workgroup=PLANT")),
                  !row.strDomain.isEmpty());
        EXPECT_TRUE(probe.m_args.join(' ').contains(QStringLiteral("-p 14445")));

        const ProgramRun& mount = f.programs.m_runs[1];
        EXPECT_EQ(mount.m_strProgram, QStringLiteral("mount.cifs"));
        EXPECT_EQ(mount.m_args[0], QStringLiteral("//127.0.0.1/data/plc"));
        EXPECT_EQ(mount.m_args[1], f.options.m_strMountBase + QStringLiteral("/Z"));
        EXPECT_TRUE(mount.m_args[3].contains(QStringLiteral(",port=14445")));
        EXPECT_EQ(mount.m_args[3].contains(QStringLiteral(",domain=PLANT")),
                  !row.strDomain.isEmpty());
        EXPECT_FALSE(mount.m_args[3].contains(QStringLiteral("credentials")));
        EXPECT_TRUE(QFileInfo(mount.m_args[1]).isDir());

        for (const ProgramRun& run : f.programs.m_runs) {
            EXPECT_EQ(run.m_password, row.strPassword.toUtf8());
            EXPECT_EQ(run.m_environment,
                      QStringList{QStringLiteral("USER=") + row.strUser.section('\\', -1)});
            if (!row.strPassword.isEmpty()) {
                EXPECT_FALSE(
                    (run.m_args + run.m_environment).join(' ').contains(row.strPassword.trimmed()));
            }
        }
        EXPECT_EQ(f.Drives(), QStringLiteral("Z:\t\\\\127.0.0.1\\data\\plc\t") + row.strUser +
                                  QLatin1Char('\n'));
    }
}

// What a line of the remembered drives cannot hold, or the tools cannot
// carry, is refused before any program runs or anything is written, with a
// code whose message points at the box at fault.
TEST(CifsConnector, RefusesControlCharactersBeforeAnythingIsWritten) {
    const QString strShare = QStringLiteral("//srv/data");
    const QString strUser = QStringLiteral("engineer");
    const QString strPassword = QStringLiteral("pw");
    const QString nul(QChar(0));
    const struct {
        QString strRemote;
        QString strUser;
        QString strPassword;
        int nCode;
    } rows[] = {
        {strShare, QStringLiteral("eng\tineer"), strPassword, 1206},
        {strShare, QStringLiteral("engineer\nY:\t//evil/share\tx"), strPassword, 1206},
        {strShare, QStringLiteral("eng\rineer"), strPassword, 1206},
        {strShare, QStringLiteral("eng") + nul + QStringLiteral("ineer"), strPassword, 1206},
        {strShare, QStringLiteral("eng%pw"), strPassword, 1206},
        {strShare, QStringLiteral("eng,ineer"), strPassword, 1206},
        {QStringLiteral("//srv/da\tta"), strUser, strPassword, 1222},
        {QStringLiteral("//srv/data\nY:\t//evil/share\tx"), strUser, strPassword, 1222},
        {QStringLiteral("//srv/da") + nul + QStringLiteral("ta"), strUser, strPassword, 1222},
        {strShare, strUser, QStringLiteral("pw\nusername=root"), 86},
        {strShare, strUser, QStringLiteral("pw\r"), 86},
        {strShare, strUser, QStringLiteral("p") + nul + QStringLiteral("w"), 86},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(
            (row.strRemote + QLatin1Char('|') + row.strUser + QLatin1Char('|') + row.strPassword)
                .toStdString());
        Fixture f;
        NetResource resource;
        resource.m_strRemoteName = row.strRemote;
        resource.m_strLocalName = QStringLiteral("Z:");
        EXPECT_EQ(f.Connector().AddConnection2(resource, row.strPassword, row.strUser, 1),
                  row.nCode);
        EXPECT_TRUE(f.programs.m_runs.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(f.options.m_strDrivesFile));
    }
}

// What the server and the kernel answer, as the codes of the connection tables.
TEST(CifsConnector, MapsTheAnswersToTheTablesCodes) {
    using R = CCifsConnector::RunResult;
    const struct {
        R probe;
        R mount;
        int nCode;
        int nRuns;
    } rows[] = {
        {{1, "session setup failed: NT_STATUS_LOGON_FAILURE"}, {}, 86, 1},
        {{1, "tree connect failed: NT_STATUS_ACCESS_DENIED"}, {}, 5, 1},
        {{1, "tree connect failed: NT_STATUS_BAD_NETWORK_NAME"}, {}, 1222, 1},
        {{1, "do_connect: Connection to 127.0.0.1 failed (Error NT_STATUS_CONNECTION_REFUSED)"},
         {},
         1203,
         1},
        {{1, "NT_STATUS_CONNECTION_RESET"}, {}, 1208, 1},
        {{1, "no status at all"}, {}, 1208, 1},
        {{-2, ""}, {}, 1203, 1},
        {{0, ""}, {32, "mount error(19): No such device"}, 1222, 2},
        {{0, ""}, {32, "mount error(16): Device or resource busy"}, 85, 2},
        {{0, ""}, {32, "mount error(13): Permission denied"}, 86, 2},
        {{0, ""}, {32, "mount error(1): Operation not permitted"}, 5, 2},
        {{0, ""}, {32, "mount error(2): No such file or directory"}, 1222, 2},
        {{0, ""}, {32, "mount error(112): Host is down"}, 1203, 2},
        {{0, ""}, {32, "mount error: could not resolve address for srv: Unknown error"}, 1203, 2},
        {{0, ""}, {-1, ""}, 1222, 2}, // mount.cifs not installed
        {{-1, ""}, {0, ""}, 0, 2},    // no smbclient: the mount alone decides
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.probe.m_strOutput + row.mount.m_strOutput).toStdString());
        Fixture f;
        f.programs.m_probe = row.probe;
        f.programs.m_mount = row.mount;
        EXPECT_EQ(f.Connect2(QStringLiteral("//127.0.0.1/data"), QStringLiteral("Z:")), row.nCode);
        EXPECT_EQ(f.programs.m_runs.size(), row.nRuns);
        // Only a made connection is remembered.
        EXPECT_EQ(f.Drives().isEmpty(), row.nCode != 0);
    }
}

// Refused before anything runs: names that are no drive or no share, a
// drive folder that is a file or already a mount point, a bad profile.
TEST(CifsConnector, RefusesLocallyWhatCannotWork) {
    Fixture f;
    const QString strShare = QStringLiteral("\\\\srv\\data");
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Z")), 1200);
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Z::")), 1200);
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("ZZ:")), 1200);
    EXPECT_EQ(f.Connect2(strShare, QString()), 1200);
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("V:\n")), 1200);
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("\nV:")), 1200);
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("\u00c4:")), 1200);
    EXPECT_EQ(f.Connect2(QStringLiteral("srv\\data"), QStringLiteral("Z:")), 67);
    EXPECT_EQ(f.Connect2(QStringLiteral("\\\\srv"), QStringLiteral("Z:")), 67);

    ASSERT_TRUE(QDir().mkpath(f.options.m_strMountBase));
    QFile file(f.options.m_strMountBase + QStringLiteral("/Y"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Y:")), 66);

    EXPECT_TRUE(f.programs.m_runs.isEmpty());
}

// A drive whose folder the mount table lists is in use; other drives are not.
TEST(CifsConnector, RefusesADriveWhoseFolderIsAlreadyMounted) {
    Fixture f;
    const QString strShare = QStringLiteral("\\\\srv\\data");
    ASSERT_TRUE(QDir().mkpath(f.options.m_strMountBase + QStringLiteral("/Y")));
    const QString strPoint =
        QFileInfo(f.options.m_strMountBase + QStringLiteral("/Y")).canonicalFilePath();
    f.options.m_strMountTable = f.dir.filePath(QStringLiteral("mountinfo"));
    QFile table(f.options.m_strMountTable);
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
                "90 22 0:55 / " +
                QFile::encodeName(strPoint) + " rw,relatime - tmpfs tmpfs rw\n");
    table.close();
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("y:")), 85);
    EXPECT_TRUE(f.programs.m_runs.isEmpty());
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("X:")), 0);

    // The kernel's own table: /proc is a mount point on every Linux system.
    EXPECT_TRUE(CCifsConnector::IsMountPoint(QStringLiteral("/proc")));
    EXPECT_FALSE(CCifsConnector::IsMountPoint(f.dir.path()));
}

// A damaged line of the remembered drives costs only that line: the other
// drives are restored and a new one is remembered; the file and its folder
// are the user's alone.
TEST(CifsConnector, PassesOverADamagedLineOfTheRememberedDrives) {
    Fixture f;
    const QString strShare = QStringLiteral("\\\\srv\\data");
    ASSERT_EQ(f.Connect2(strShare, QStringLiteral("Z:")), 0);
    const QString strDir = QFileInfo(f.options.m_strDrivesFile).path();
    EXPECT_EQ(Mode(strDir), 0700u);
    {
        QFile file(f.options.m_strDrivesFile);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("this is not a drive list\n"
                   "Q:\t//srv/extra\tone\ttoo many\n"
                   "W:\t//srv/win\tengineer\r\n");
    }
    EXPECT_EQ(f.Connect2(QStringLiteral("//srv/logs"), QStringLiteral("Y:")), 0);
    EXPECT_EQ(f.Drives(), QStringLiteral("Z:\t\\\\srv\\data\tengineer\n"
                                         "this is not a drive list\n"
                                         "Q:\t//srv/extra\tone\ttoo many\n"
                                         "W:\t//srv/win\tengineer\n"
                                         "Y:\t//srv/logs\tengineer\n"));
    EXPECT_EQ(Mode(f.options.m_strDrivesFile), 0600u);

    f.programs.m_runs.clear();
    const auto results = f.Connector().RestoreRemembered(QString());
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].first.m_strLocal, QStringLiteral("Z:"));
    EXPECT_EQ(results[1].first.m_strLocal, QStringLiteral("W:"));
    EXPECT_EQ(results[2].first.m_strLocal, QStringLiteral("Y:"));
    EXPECT_EQ(results[2].second, 0);
    EXPECT_EQ(f.programs.m_runs.size(), 6);

    // A profile whose folder cannot be made: its parent is a plain file.
    f.options.m_strDrivesFile = f.options.m_strDrivesFile + QStringLiteral("/drives");
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("V:")), 1205);
    // Without remembering, the profile is not looked at.
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("V:"), 0), 0);
}

TEST(CifsConnector, RemembersMappingsWithoutPasswordsAndRestoresThem) {
    Fixture f;
    ASSERT_EQ(f.Connect2(QStringLiteral("\\\\srv\\data"), QStringLiteral("z:")), 0);
    ASSERT_EQ(f.Connect2(QStringLiteral("\\\\srv\\logs"), QStringLiteral("Y:")), 0);
    ASSERT_EQ(f.Connect2(QStringLiteral("//srv/other"), QStringLiteral("Z:")), 0);
    ASSERT_EQ(f.Connect2(QStringLiteral("//srv/temp"), QStringLiteral("X:"), 0), 0);
    EXPECT_EQ(f.Drives(),
              QStringLiteral("Z:\t//srv/other\tengineer\nY:\t\\\\srv\\logs\tengineer\n"));
    // A line without a user name is still a line of three fields.
    CRememberedDrives drives(f.options.m_strDrivesFile);
    ASSERT_TRUE(drives.Remember({QStringLiteral("V:"), QStringLiteral("//srv/anon"), QString()}));
    QList<CRememberedDrives::Entry> entries;
    ASSERT_EQ(drives.Load(&entries), CRememberedDrives::State::Ok);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_TRUE(entries[2].m_strUser.isEmpty());

    f.programs.m_runs.clear();
    f.programs.m_mount = {32, "mount error(112): Host is down"};
    CCifsConnector connector = f.Connector();
    const auto results = connector.RestoreRemembered(QString());
    ASSERT_EQ(results.size(), 3);
    EXPECT_EQ(results[0].first.m_strLocal, QStringLiteral("Z:"));
    EXPECT_EQ(results[0].second, 1203);
    EXPECT_EQ(results[1].first.m_strRemote, QStringLiteral("\\\\srv\\logs"));
    ASSERT_EQ(f.programs.m_runs.size(), 6);
    EXPECT_EQ(f.programs.m_runs[1].m_args[1], f.options.m_strMountBase + QStringLiteral("/Z"));
    EXPECT_EQ(f.programs.m_runs[0].m_environment, QStringList{QStringLiteral("USER=engineer")});
    EXPECT_TRUE(f.programs.m_runs[0].m_password.isEmpty());
}

} // namespace
