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

struct ProgramRun {
    QString m_strProgram;
    QStringList m_args;
    QString m_strCredentials; // the credentials file's text while the program ran
    unsigned m_nFileMode = 0;
    unsigned m_nDirMode = 0;
};

// Stands for smbclient and mount.cifs: answers with scripted results and
// records how each was called, including the credentials file it was given.
struct FakePrograms {
    CCifsConnector::RunResult m_probe{0, {}};
    CCifsConnector::RunResult m_mount{0, {}};
    QList<ProgramRun> m_runs;

    CCifsConnector::Runner Runner() {
        return [this](const QString& strProgram, const QStringList& args) {
            ProgramRun run{strProgram, args, {}, 0, 0};
            for (const QString& arg : args) {
                QString strFile = arg.section(QLatin1Char(','), 0, 0);
                strFile.remove(QStringLiteral("credentials="));
                if (!strFile.endsWith(QStringLiteral("/credentials")))
                    continue;
                QFile file(strFile);
                if (file.open(QIODevice::ReadOnly))
                    run.m_strCredentials = QString::fromUtf8(file.readAll());
                struct stat st {};
                if (::stat(QFile::encodeName(strFile).constData(), &st) == 0)
                    run.m_nFileMode = st.st_mode & 0777;
                if (::stat(QFile::encodeName(QFileInfo(strFile).path()).constData(), &st) == 0)
                    run.m_nDirMode = st.st_mode & 0777;
            }
            m_runs.append(run);
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

// The password travels in a file only the owner can read, in a folder only
// the owner can enter, removed afterwards; never in an argument.
TEST(CifsConnector, PassesThePasswordOnlyThroughAPrivateFile) {
    Fixture f;
    ASSERT_EQ(f.Connect2(QStringLiteral("\\\\127.0.0.1\\data\\plc"), QStringLiteral("z:")), 0);
    ASSERT_EQ(f.programs.m_runs.size(), 2);

    const ProgramRun& probe = f.programs.m_runs[0];
    EXPECT_EQ(probe.m_strProgram, QStringLiteral("smbclient"));
    EXPECT_EQ(probe.m_args.first(), QStringLiteral("//127.0.0.1/data"));
    EXPECT_TRUE(probe.m_args.join(' ').contains(QStringLiteral("-p 14445")));

    const ProgramRun& mount = f.programs.m_runs[1];
    EXPECT_EQ(mount.m_strProgram, QStringLiteral("mount.cifs"));
    EXPECT_EQ(mount.m_args[0], QStringLiteral("//127.0.0.1/data/plc"));
    EXPECT_EQ(mount.m_args[1], f.options.m_strMountBase + QStringLiteral("/Z"));
    EXPECT_TRUE(mount.m_args[3].contains(QStringLiteral(",port=14445")));
    EXPECT_TRUE(QFileInfo(mount.m_args[1]).isDir());

    QString strCredentialsFile;
    for (const ProgramRun& run : f.programs.m_runs) {
        EXPECT_FALSE(run.m_args.join(' ').contains(QStringLiteral("s3cret")));
        EXPECT_EQ(run.m_strCredentials, QStringLiteral("username=engineer\npassword=s3cret,pw\n"));
        EXPECT_EQ(run.m_nFileMode, 0600u);
        EXPECT_EQ(run.m_nDirMode, 0700u);
    }
    const qsizetype nAt = probe.m_args.indexOf(QStringLiteral("-A"));
    ASSERT_GE(nAt, 0);
    EXPECT_FALSE(QFileInfo::exists(probe.m_args[nAt + 1]));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(probe.m_args[nAt + 1]).path()));
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

    // /proc is a mount point on every Linux system.
    f.options.m_strMountBase = QStringLiteral("/");
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("proc:")), 1200);
    EXPECT_TRUE(CCifsConnector::IsMountPoint(QStringLiteral("/proc")));
    EXPECT_FALSE(CCifsConnector::IsMountPoint(f.dir.path()));
    EXPECT_TRUE(f.programs.m_runs.isEmpty());
}

TEST(CifsConnector, ChecksTheProfileOnlyWhenRemembering) {
    Fixture f;
    const QString strShare = QStringLiteral("\\\\srv\\data");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(f.options.m_strDrivesFile).path()));
    QFile file(f.options.m_strDrivesFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a drive list\n");
    file.close();
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Z:")), 1206);
    EXPECT_TRUE(f.programs.m_runs.isEmpty());
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Z:"), 0), 0);

    // A profile whose folder cannot be made: its parent is a plain file.
    f.options.m_strDrivesFile = f.options.m_strDrivesFile + QStringLiteral("/drives");
    EXPECT_EQ(f.Connect2(strShare, QStringLiteral("Z:")), 1205);
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
    EXPECT_EQ(f.programs.m_runs[0].m_strCredentials,
              QStringLiteral("username=engineer\npassword=\n"));

    // A user name with its Windows domain.
    f.programs.m_runs.clear();
    NetResource resource;
    resource.m_strRemoteName = QStringLiteral("\\\\srv\\data");
    resource.m_strLocalName = QStringLiteral("W:");
    connector.AddConnection2(resource, QStringLiteral("pw"), QStringLiteral("PLANT\\engineer"), 0);
    ASSERT_FALSE(f.programs.m_runs.isEmpty());
    EXPECT_EQ(f.programs.m_runs[0].m_strCredentials,
              QStringLiteral("username=engineer\npassword=pw\ndomain=PLANT\n"));
}

} // namespace
