// Drovane against a real Samba server that the test starts on loopback with
// its own configuration, user database and port, and stops by its pid.

#include "CCifsConnector.h"
#include "CDrovane.h"
#include "CRecordingUi.h"
#include "QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// An account every Debian system has; the server knows it under its own password.
const QString kUser = QStringLiteral("daemon");
const QString kPassword = QStringLiteral("Drovane-pw1");
const QString kData = QStringLiteral("\\\\127.0.0.1\\data");
// Two more Debian accounts, whose passwords a credentials file would have
// mangled: a leading blank is stripped there, "=" and "%" are separators.
const struct {
    QString strUser;
    QString strPassword;
} kOddPasswords[] = {
    {QStringLiteral("bin"), QStringLiteral(" leading-blank")},
    {QStringLiteral("sys"), QStringLiteral("eq=ua%ls,pw")},
};

int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof addr;
    int nPort = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength) == 0)
        nPort = ntohs(addr.sin_port);
    ::close(fd);
    return nPort;
}

QString Find(const QString& strName) {
    QString strPath = QStandardPaths::findExecutable(strName);
    if (strPath.isEmpty())
        strPath = QStandardPaths::findExecutable(
            strName, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return strPath;
}

bool WriteFile(const QString& strPath, const QByteArray& content) {
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QString RunTool(const QString& strProgram, const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(strProgram, args);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return QString::fromLocal8Bit(process.readAll());
}

class Samba : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (::geteuid() != 0) {
            s_strSkip = QStringLiteral("needs root: smbd with its own user database, and mounts");
            return;
        }
        for (const char* pszTool : {"smbd", "smbpasswd", "smbclient"}) {
            if (Find(QString::fromLatin1(pszTool)).isEmpty()) {
                s_strSkip = QStringLiteral("%1 is not installed (scripts/install-deps installs "
                                           "samba and smbclient)")
                                .arg(QString::fromLatin1(pszTool));
                return;
            }
        }
        s_pDir = std::make_unique<QTemporaryDir>();
        const QString strRoot = s_pDir->path();
        for (const char* pszDir :
             {"share", "private", "lock", "state", "cache", "pid", "run", "log", "Network"})
            QDir(strRoot).mkpath(QString::fromLatin1(pszDir));
        // The server serves the share as the test account.
        QFile::setPermissions(strRoot, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ExeOther |
                                           QFileDevice::ExeGroup);
        QFile::setPermissions(strRoot + QStringLiteral("/share"), QFileDevice::Permissions(0x7777));
        WriteFile(strRoot + QStringLiteral("/share/hello.txt"), "hello from smbd\n");
        QFile::setPermissions(strRoot + QStringLiteral("/share/hello.txt"),
                              QFileDevice::Permissions(0x6444));

        s_nPort = FreeLoopbackPort();
        const QString strConf = strRoot + QStringLiteral("/smb.conf");
        s_strConf = strConf;
        WriteFile(strConf, QStringLiteral("[global]\n"
                                          "server role = standalone server\n"
                                          "smb ports = %2\n"
                                          "interfaces = 127.0.0.1\n"
                                          "bind interfaces only = yes\n"
                                          "disable netbios = yes\n"
                                          "private dir = %1/private\n"
                                          "lock directory = %1/lock\n"
                                          "state directory = %1/state\n"
                                          "cache directory = %1/cache\n"
                                          "pid directory = %1/pid\n"
                                          "ncalrpc dir = %1/run\n"
                                          "log file = %1/log/log.%m\n"
                                          "passdb backend = tdbsam:%1/private/passdb.tdb\n"
                                          "map to guest = never\n"
                                          "load printers = no\n"
                                          "printcap name = /dev/null\n"
                                          "disable spoolss = yes\n"
                                          "[data]\n"
                                          "path = %1/share\n"
                                          "read only = no\n"
                                          "valid users = %3 bin sys\n"
                                          "[locked]\n"
                                          "path = %1/share\n"
                                          "invalid users = %3\n")
                               .arg(strRoot)
                               .arg(s_nPort)
                               .arg(kUser)
                               .toUtf8());
        const QByteArray password = kPassword.toUtf8() + '\n';
        RunTool(Find(QStringLiteral("smbpasswd")),
                {QStringLiteral("-c"), strConf, QStringLiteral("-s"), QStringLiteral("-a"), kUser},
                password + password);
        for (const auto& account : kOddPasswords) {
            const QByteArray odd = account.strPassword.toUtf8() + '\n';
            RunTool(Find(QStringLiteral("smbpasswd")),
                    {QStringLiteral("-c"), strConf, QStringLiteral("-s"), QStringLiteral("-a"),
                     account.strUser},
                    odd + odd);
        }
        WriteFile(strRoot + QStringLiteral("/auth"),
                  "username=" + kUser.toUtf8() + "\npassword=" + kPassword.toUtf8() + "\n");

        s_pSmbd = std::make_unique<QProcess>();
        s_pSmbd->setProcessChannelMode(QProcess::MergedChannels);
        s_pSmbd->setStandardOutputFile(strRoot + QStringLiteral("/log/smbd.out"));
        // smbd signals its whole process group when it stops: give it its own.
        s_pSmbd->setChildProcessModifier([] { ::setsid(); });
        s_pSmbd->start(Find(QStringLiteral("smbd")),
                       {QStringLiteral("--foreground"), QStringLiteral("--no-process-group"),
                        QStringLiteral("--debug-stdout"), QStringLiteral("-d"), QStringLiteral("1"),
                        QStringLiteral("-s"), strConf});
        if (!s_pSmbd->waitForStarted()) {
            s_strSkip = QStringLiteral("smbd did not start");
            return;
        }
        // Ready once it lists its shares; a generous wait for a loaded machine.
        for (int i = 0; i < 150; ++i) {
            if (ListShares().contains(QStringLiteral("locked")))
                return;
            if (s_pSmbd->state() == QProcess::NotRunning)
                break;
            ::usleep(200000);
        }
        QFile log(strRoot + QStringLiteral("/log/smbd.out"));
        log.open(QIODevice::ReadOnly);
        ADD_FAILURE() << "smbd did not come up on 127.0.0.1:" << s_nPort << ":\n"
                      << log.readAll().toStdString();
        s_strSkip = QStringLiteral("smbd did not come up");
    }

    static void TearDownTestSuite() {
        if (s_pSmbd && s_pSmbd->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(s_pSmbd->processId()), SIGTERM);
            if (!s_pSmbd->waitForFinished(20000)) {
                ::kill(static_cast<pid_t>(s_pSmbd->processId()), SIGKILL);
                s_pSmbd->waitForFinished();
            }
        }
        s_pSmbd.reset();
        StopHelpers();
        s_pDir.reset();
    }

    // smbd starts samba-dcerpcd and its rpcd_* workers in sessions of their
    // own, so they outlive it. They are ours: they name our private
    // configuration file. End them by their pids.
    static void StopHelpers() {
        if (s_strConf.isEmpty())
            return;
        const QByteArray mark = "--configfile=" + s_strConf.toUtf8();
        auto ours = [&] {
            std::vector<pid_t> pids;
            const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
            for (const QString& entry : entries) {
                bool isPid = false;
                const pid_t pid = static_cast<pid_t>(entry.toInt(&isPid));
                if (!isPid || pid == ::getpid())
                    continue;
                QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
                if (!cmdline.open(QIODevice::ReadOnly))
                    continue;
                const QList<QByteArray> args = cmdline.readAll().split('\0');
                // A helper between its fork and its exec still carries
                // smbd's own "-s CONF".
                if (args.contains(mark) || args.contains(s_strConf.toUtf8()))
                    pids.push_back(pid);
            }
            return pids;
        };
        // Until none is left for a moment: one may be starting as we look.
        int quiet = 0;
        for (int i = 0; i < 100 && quiet < 3; ++i) {
            const std::vector<pid_t> pids = ours();
            quiet = pids.empty() ? quiet + 1 : 0;
            for (pid_t pid : pids)
                ::kill(pid, i < 50 ? SIGTERM : SIGKILL);
            ::usleep(100000);
        }
    }

    void SetUp() override {
        if (!s_strSkip.isEmpty())
            GTEST_SKIP() << s_strSkip.toStdString();
        qputenv("DROVANE_SMB_PORT", QByteArray::number(s_nPort));
        qputenv("DROVANE_MOUNT_BASE", MountBase().toUtf8());
        qputenv("DROVANE_DRIVES_FILE", DrivesFile().toUtf8());
    }

    static QString ListShares() {
        return RunTool(Find(QStringLiteral("smbclient")),
                       {QStringLiteral("-L"), QStringLiteral("//127.0.0.1"), QStringLiteral("-p"),
                        QString::number(s_nPort), QStringLiteral("-A"),
                        s_pDir->filePath(QStringLiteral("auth"))});
    }
    static QString MountBase() { return s_pDir->filePath(QStringLiteral("Network")); }
    static QString DrivesFile() { return s_pDir->filePath(QStringLiteral("drives")); }

    static int Connect2(const QString& strRemote, const QString& strLocal,
                        const QString& strPassword, int nPort = s_nPort,
                        const QString& strUser = kUser) {
        CCifsConnector::Options options = CCifsConnector::Options::FromEnvironment();
        options.m_nPort = nPort;
        CCifsConnector connector(options);
        NetResource resource;
        resource.m_strRemoteName = strRemote;
        resource.m_strLocalName = strLocal;
        return connector.AddConnection2(resource, strPassword, strUser, 1);
    }

    static bool KernelHasCifs() {
        QFile file(QStringLiteral("/proc/filesystems"));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("\tcifs\n");
    }

    static inline std::unique_ptr<QTemporaryDir> s_pDir;
    static inline std::unique_ptr<QProcess> s_pSmbd;
    static inline int s_nPort = 0;
    static inline QString s_strSkip;
    static inline QString s_strConf;
};

TEST_F(Samba, ListsItsShares) {
    const QString strList = ListShares();
    EXPECT_TRUE(strList.contains(QStringLiteral("data"))) << strList.toStdString();
}

// The server's own answers become the codes of the connection tables.
TEST_F(Samba, AnswersMapToTheTablesCodes) {
    EXPECT_EQ(Connect2(kData, QStringLiteral("Z:"), QStringLiteral("wrong")), 86);
    EXPECT_EQ(Connect2(QStringLiteral("\\\\127.0.0.1\\nosuch"), QStringLiteral("Z:"), kPassword),
              1222);
    EXPECT_EQ(Connect2(QStringLiteral("//127.0.0.1/locked"), QStringLiteral("Z:"), kPassword), 5);
    EXPECT_EQ(Connect2(kData, QStringLiteral("Z:"), kPassword, FreeLoopbackPort()), 1203);
    EXPECT_FALSE(QFile::exists(DrivesFile()));
}

// Passwords with a leading blank, "=", "%" and "," log on as typed: the
// server accepts them, and only the mount is left, which succeeds where the
// kernel has CIFS (0) and reports no CIFS client elsewhere (1222). A
// password one character off is refused.
TEST_F(Samba, LogsOnWithPasswordsAsTyped) {
    const int nMounted = KernelHasCifs() ? 0 : 1222;
    for (const auto& account : kOddPasswords) {
        SCOPED_TRACE(account.strUser.toStdString());
        EXPECT_EQ(
            Connect2(kData, QStringLiteral("T:"), account.strPassword, s_nPort, account.strUser),
            nMounted);
        if (nMounted == 0)
            ::umount2(QFile::encodeName(MountBase() + QStringLiteral("/T")).constData(),
                      MNT_DETACH);
        EXPECT_EQ(Connect2(kData, QStringLiteral("T:"), account.strPassword.trimmed() + u'x',
                           s_nPort, account.strUser),
                  86);
    }
    QFile::remove(DrivesFile());
}

// Through CDrovane: the first attempt as root is refused, the retry with the
// caller's credentials meets a share that does not exist.
TEST_F(Samba, ExplainsAShareThatDoesNotExist) {
    CCifsConnector connector;
    CRecordingUi ui;
    CDrovane drovane(connector, ui);
    const QString strPath = QStringLiteral("\\\\127.0.0.1\\nosuch");
    EXPECT_EQ(drovane.Connection(strPath, QStringLiteral("Z:"), kUser, kPassword), 2);
    EXPECT_EQ(ui.m_events,
              QStringList{strPath + QStringLiteral("라는\r\n네트워크가 존재하지 않습니다.")});
}

// A drive folder something is already mounted on is a drive in use.
TEST_F(Samba, RefusesADriveAlreadyInUse) {
    const QString strPoint = MountBase() + QStringLiteral("/Y");
    ASSERT_TRUE(QDir().mkpath(strPoint));
    if (::mount("tmpfs", QFile::encodeName(strPoint).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here to stand for a drive in use";
    CCifsConnector connector;
    CRecordingUi ui;
    CDrovane drovane(connector, ui);
    EXPECT_EQ(drovane.Connection(kData, QStringLiteral("y:"), kUser, kPassword), 2);
    ::umount2(QFile::encodeName(strPoint).constData(), MNT_DETACH);
    EXPECT_EQ(ui.m_events, QStringList{kData + QStringLiteral("는 \r\n이미 연결되어 있습니다.")});
}

// The whole way: a wrong password brings up the form with the password
// selected; the right one typed there mounts the share where the kernel can.
TEST_F(Samba, MountsTheShareThroughTheForm) {
    CCifsConnector connector;
    CRecordingUi ui;
    CDrovane drovane(connector, ui);
    ui.m_script = [](frmConnection& form) {
        form.Text1(1)->setText(kPassword);
        form.Command1()->click();
        if (form.isVisible())
            form.Command2()->click();
    };
    const int nResult =
        drovane.Connection(kData, QStringLiteral("X"), kUser, QStringLiteral("bad"));
    ASSERT_GE(ui.m_events.size(), 2);
    EXPECT_EQ(ui.m_events[0], kData + QStringLiteral("는 \r\n암호가 유효하지 않습니다."));
    EXPECT_EQ(ui.m_events[1], QStringLiteral("[form pass:bad]"));

    const QString strPoint = MountBase() + QStringLiteral("/X");
    if (nResult == 1) {
        QFile hello(strPoint + QStringLiteral("/hello.txt"));
        EXPECT_TRUE(hello.open(QIODevice::ReadOnly));
        EXPECT_EQ(hello.readAll(), QByteArray("hello from smbd\n"));
        hello.close();
        ::umount2(QFile::encodeName(strPoint).constData(), MNT_DETACH);
        QFile drives(DrivesFile());
        ASSERT_TRUE(drives.open(QIODevice::ReadOnly));
        const QByteArray content = drives.readAll();
        EXPECT_EQ(content, "X:\t" + kData.toUtf8() + "\t" + kUser.toUtf8() + "\n");
        EXPECT_FALSE(content.contains(kPassword.toUtf8()));
        return;
    }
    EXPECT_EQ(ui.m_events.size(), 3);
    EXPECT_EQ(ui.m_events.last(), kData + QStringLiteral("라는\r\n네트워크가 존재하지 않습니다."));
    if (!KernelHasCifs())
        GTEST_SKIP() << "This kernel offers no CIFS client (mount.cifs: \"No such device\", "
                        "shown as code 1222). The log-on, the share and the error codes were "
                        "checked against smbd; the mount itself was not.";
    ADD_FAILURE() << "the kernel has CIFS but the mount failed";
}

// The command-line front: the result on stdout, the messages on stderr, and
// the password from stdin or an argument never in either.
TEST_F(Samba, CommandLineFrontPrintsResultAndMessages) {
    const QString strProgram = QStringLiteral(DROVANE_CONNECT_PATH);
    const struct {
        QStringList args;
        QByteArray input;
        QString strMessage;
    } rows[] = {
        {{QStringLiteral("\\\\127.0.0.1\\nosuch"), QStringLiteral("Z:"), kUser,
          QStringLiteral("-")},
         kPassword.toUtf8() + "\n",
         QStringLiteral("\\\\127.0.0.1\\nosuch라는\n네트워크가 존재하지 않습니다.\n")},
        {{kData, QStringLiteral("Z:"), kUser, QStringLiteral("arg-secret-7")},
         {},
         kData + QStringLiteral("는 \n암호가 유효하지 않습니다.\n")},
    };
    for (const auto& row : rows) {
        QProcess process;
        process.start(strProgram, row.args);
        process.write(row.input);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(120000));
        const QString strOut = QString::fromUtf8(process.readAllStandardOutput());
        const QString strErr = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_EQ(strOut, QStringLiteral("2\n"));
        EXPECT_TRUE(strErr.endsWith(row.strMessage)) << strErr.toStdString();
        EXPECT_FALSE((strOut + strErr).contains(kPassword));
        EXPECT_FALSE((strOut + strErr).contains(QStringLiteral("arg-secret-7")));
    }
    // --restore mounts the remembered drives again and prints each one's code.
    ASSERT_TRUE(WriteFile(DrivesFile(), "W:\t\\\\127.0.0.1\\nosuch\t" + kUser.toUtf8() + "\n"));
    QProcess restore;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DROVANE_PASSWORD"), kPassword);
    restore.setProcessEnvironment(env);
    restore.start(strProgram, {QStringLiteral("--restore")});
    ASSERT_TRUE(restore.waitForFinished(120000));
    EXPECT_EQ(restore.exitCode(), 1);
    EXPECT_EQ(restore.readAllStandardOutput(), QByteArray("W:\t\\\\127.0.0.1\\nosuch\t1222\n"));
    QFile::remove(DrivesFile());

    QProcess usage;
    usage.start(strProgram, {});
    ASSERT_TRUE(usage.waitForFinished(30000));
    EXPECT_EQ(usage.exitCode(), 2);
}

// While the back end waits on a server that never answers, no process's
// arguments or environment hold the password given as an argument.
TEST(ProcessList, NeverShowsThePassword) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLength), 0);
    const QString strPort = QString::number(ntohs(addr.sin_port));

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DROVANE_SMB_PORT"), strPort);
    env.insert(QStringLiteral("DROVANE_MOUNT_BASE"), dir.filePath(QStringLiteral("Network")));
    env.insert(QStringLiteral("DROVANE_DRIVES_FILE"), dir.filePath(QStringLiteral("drives")));
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(DROVANE_CONNECT_PATH),
              {kData, QStringLiteral("Q:"), kUser, QStringLiteral("argv-secret-9")});
    ASSERT_TRUE(cli.waitForStarted());

    // Every process's arguments and environment, as a process list shows them.
    const auto snapshot = [] {
        QByteArray all;
        for (const QString& strPid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
            for (const char* pszFile : {"/cmdline", "/environ"}) {
                QFile file(QStringLiteral("/proc/") + strPid + QLatin1String(pszFile));
                if (file.open(QIODevice::ReadOnly))
                    all += file.readAll() + '\n';
            }
        return all;
    };
    // Once the back end waits on the server, the front has long blanked its
    // own copy of the argument.
    const QByteArray waiting = QByteArray("-p\0", 3) + strPort.toUtf8() + '\0';
    bool bSeenWaiting = false;
    for (int i = 0; i < 300 && !bSeenWaiting && cli.state() == QProcess::Running; ++i) {
        const QByteArray all = snapshot();
        bSeenWaiting = all.contains(waiting);
        if (bSeenWaiting)
            EXPECT_FALSE(all.contains("argv-secret-9"));
        else
            ::usleep(50000);
    }
    // Taking the waiting connection and closing it ends the wait.
    if (bSeenWaiting)
        ::close(::accept(fd, nullptr, nullptr));
    ::close(fd);
    ASSERT_TRUE(cli.waitForFinished(120000));
    EXPECT_EQ(cli.readAllStandardOutput(), QByteArray("2\n"));
    if (!bSeenWaiting)
        GTEST_SKIP() << "smbclient is not installed: no program ever waited on the server";
}

} // namespace
