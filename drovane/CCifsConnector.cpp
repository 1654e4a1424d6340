#include "CCifsConnector.h"

#include "WinError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

struct Share {
    QString m_strServer;
    QString m_strName;
    QString m_strRest; // a folder below the share, or empty
};

// \\server\share[\folder...] or //server/share[/folder...]
bool ParseShare(const QString& strRemote, Share* pShare) {
    QString strPath = strRemote;
    strPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!strPath.startsWith(QLatin1String("//")))
        return false;
    QStringList parts = strPath.mid(2).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return false;
    pShare->m_strServer = parts.takeFirst();
    pShare->m_strName = parts.takeFirst();
    pShare->m_strRest = parts.join(QLatin1Char('/'));
    return true;
}

QString CurrentLogin() {
    if (const passwd* pEntry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pEntry->pw_name);
    return qEnvironmentVariable("USER");
}

// Closes a descriptor when it goes out of scope.
struct CFd {
    int m_nFd = -1;
    ~CFd() {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
};

CCifsConnector::RunResult RunProcess(const QString& strProgram, const QStringList& args,
                                     const QStringList& environment, const QByteArray& password) {
    CCifsConnector::RunResult result;
    // mount.cifs lives in sbin, which a user's PATH often leaves out.
    QString strPath = QStandardPaths::findExecutable(strProgram);
    if (strPath.isEmpty())
        strPath = QStandardPaths::findExecutable(
            strProgram, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (strPath.isEmpty())
        return result;

    // The password goes into a pipe, never into a file, an argument or the
    // environment. It is short enough for the pipe's buffer, so it is
    // written and the write end closed before the child starts: the child
    // reads up to the end.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.m_nExit = -3;
        return result;
    }
    const CFd readEnd{fds[0]};
    {
        const CFd writeEnd{fds[1]};
        ::fcntl(writeEnd.m_nFd, F_SETFL, O_NONBLOCK);
        if (!password.isEmpty() &&
            ::write(writeEnd.m_nFd, password.constData(), static_cast<size_t>(password.size())) !=
                static_cast<ssize_t>(password.size())) {
            result.m_nExit = -3;
            return result;
        }
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // No password from elsewhere reaches a child: only the pipe counts.
    for (const char* pszName : {"PASSWD", "PASSWD_FILE", "PASSWD_FD", "DROVANE_PASSWORD"})
        env.remove(QString::fromLatin1(pszName));
    for (const QString& strVariable : environment)
        env.insert(strVariable.section(QLatin1Char('='), 0, 0),
                   strVariable.section(QLatin1Char('='), 1));
    env.insert(QStringLiteral("PASSWD_FD"), QString::number(readEnd.m_nFd));
    process.setProcessEnvironment(env);
    // The read end keeps its number in the child; only there does it
    // survive the exec.
    const int nReadFd = readEnd.m_nFd;
    process.setChildProcessModifier([nReadFd] { ::fcntl(nReadFd, F_SETFD, 0); });
    process.start(strPath, args);
    if (!process.waitForStarted())
        return result;
    // A host that does not answer keeps the kernel busy for a while.
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.m_nExit = -2;
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.m_nExit = process.exitCode();
    } else {
        result.m_nExit = -2;
    }
    result.m_strOutput = QString::fromLocal8Bit(process.readAll());
    return result;
}

} // namespace

CCifsConnector::Options CCifsConnector::Options::FromEnvironment() {
    Options options;
    options.m_strMountBase =
        qEnvironmentVariable("DROVANE_MOUNT_BASE", QDir::homePath() + QStringLiteral("/Network"));
    options.m_strDrivesFile =
        qEnvironmentVariable("DROVANE_DRIVES_FILE", CRememberedDrives::DefaultFile());
    options.m_nPort = qEnvironmentVariableIntValue("DROVANE_SMB_PORT");
    return options;
}

CCifsConnector::CCifsConnector(Options options, Runner runner)
    : m_options(std::move(options)), m_runner(runner ? std::move(runner) : Runner(RunProcess)) {}

int CCifsConnector::AddConnection(const QString& strRemote, const QString& strPassword,
                                  const QString& strLocal) {
    return Connect(strRemote, strLocal, CurrentLogin(), strPassword, false);
}

int CCifsConnector::AddConnection2(const NetResource& resource, const QString& strPassword,
                                   const QString& strUser, unsigned nFlags) {
    return Connect(resource.m_strRemoteName, resource.m_strLocalName,
                   strUser.isEmpty() ? CurrentLogin() : strUser, strPassword,
                   (nFlags & CONNECT_UPDATE_PROFILE) != 0);
}

QString CCifsConnector::MountPoint(const QString& strLocal) const {
    // Exactly a letter and a colon: nothing may trail, not even a line break.
    if (strLocal.size() != 2 || strLocal[1] != QLatin1Char(':'))
        return QString();
    const char16_t cLetter = strLocal[0].toUpper().unicode();
    if (cLetter < u'A' || cLetter > u'Z')
        return QString();
    return m_options.m_strMountBase + QLatin1Char('/') + QChar(cLetter);
}

int CCifsConnector::Connect(const QString& strRemote, const QString& strLocal,
                            const QString& strUser, const QString& strPassword, bool bRemember) {
    const QString strPoint = MountPoint(strLocal);
    if (strPoint.isEmpty())
        return WinError::BAD_DEVICE;
    // A line break or TAB in the path would add lines to the remembered
    // drives; the message then names the path as a network that is not there.
    if (!CRememberedDrives::IsPlainText(strRemote))
        return WinError::NO_NETWORK;
    Share share;
    if (!ParseShare(strRemote, &share))
        return WinError::BAD_NET_NAME;
    // A Windows-style DOMAIN\user names its domain apart. smbclient reads a
    // "%" in a user name as the start of a password, and mount.cifs refuses
    // a comma in USER; the message then asks for another user name.
    const qsizetype nSlash = strUser.indexOf(QLatin1Char('\\'));
    const QString strName = strUser.mid(nSlash + 1);
    const QString strDomain = nSlash > 0 ? strUser.left(nSlash) : QString();
    if (!CRememberedDrives::IsPlainText(strUser) || strUser.contains(QLatin1Char('%')) ||
        strUser.contains(QLatin1Char(',')))
        return WinError::BAD_PROFILE;
    // The tools end a password at a line break, or carry it on into the
    // kernel's options; neither can carry a NUL.
    if (strPassword.contains(QLatin1Char('\n')) || strPassword.contains(QLatin1Char('\r')) ||
        strPassword.contains(QChar(0)))
        return WinError::INVALID_PASSWORD;

    const CRememberedDrives drives(m_options.m_strDrivesFile);
    if (bRemember && drives.Load() == CRememberedDrives::State::CannotOpen)
        return WinError::CANNOT_OPEN_PROFILE;

    const QFileInfo point(strPoint);
    if (point.exists() && !point.isDir())
        return WinError::BAD_DEV_TYPE;
    if (point.exists() && IsMountPoint(strPoint, m_options.m_strMountTable))
        return WinError::ALREADY_ASSIGNED;
    if (!QDir().mkpath(strPoint))
        return WinError::ACCESS_DENIED;

    const QString strService = QStringLiteral("//%1/%2").arg(share.m_strServer, share.m_strName);
    const QString strPort = QString::number(m_options.m_nPort);
    const QByteArray password = strPassword.toUtf8();
    // The user name travels in USER, as both tools document, so no comma or
    // blank in it can split an option.
    const QStringList environment{QStringLiteral("USER=") + strName};

    // The server's own verdict on the log-on and the share, where smbclient is at hand.
    QStringList probe{strService, QStringLiteral("--user=") + strName, QStringLiteral("-c"),
                      QStringLiteral("exit")};
    if (!strDomain.isEmpty())
        probe << QStringLiteral("--workgroup=") + strDomain;
    if (m_options.m_nPort > 0)
        probe << QStringLiteral("-p") << strPort;
    const RunResult probed = m_runner(m_options.m_strSmbClient, probe, environment, password);
    if (probed.m_nExit == -2)
        return WinError::NO_NET_OR_BAD_PATH;
    if (probed.m_nExit == -3)
        return WinError::EXTENDED_ERROR;
    if (probed.m_nExit > 0) {
        static const QRegularExpression status(QStringLiteral("NT_STATUS_[A-Z0-9_]+"));
        const QRegularExpressionMatch match = status.match(probed.m_strOutput);
        return match.hasMatch() ? MapNtStatus(match.captured(0)) : WinError::EXTENDED_ERROR;
    }

    QString strOptions = QStringLiteral("uid=%1,gid=%2").arg(getuid()).arg(getgid());
    if (!strDomain.isEmpty())
        strOptions += QStringLiteral(",domain=") + strDomain;
    if (m_options.m_nPort > 0)
        strOptions += QStringLiteral(",port=") + strPort;
    QString strSource = strService;
    if (!share.m_strRest.isEmpty())
        strSource += QLatin1Char('/') + share.m_strRest;
    const RunResult mounted =
        m_runner(m_options.m_strMountCifs,
                 {strSource, QDir(strPoint).absolutePath(), QStringLiteral("-o"), strOptions},
                 environment, password);
    if (mounted.m_nExit == -1)
        return WinError::NO_NETWORK; // no CIFS client on this system
    if (mounted.m_nExit == -2)
        return WinError::NO_NET_OR_BAD_PATH;
    if (mounted.m_nExit == -3)
        return WinError::EXTENDED_ERROR;
    if (mounted.m_nExit != 0) {
        static const QRegularExpression error(QStringLiteral("mount error\\((\\d+)\\)"));
        const QRegularExpressionMatch match = error.match(mounted.m_strOutput);
        if (match.hasMatch())
            return MapMountErrno(match.captured(1).toInt());
        if (mounted.m_strOutput.contains(QLatin1String("resolve")))
            return WinError::NO_NET_OR_BAD_PATH;
        return WinError::EXTENDED_ERROR;
    }

    // The drive is there; a failure to note it only costs the next log-on.
    if (bRemember)
        drives.Remember({strLocal.toUpper(), strRemote, strUser});
    return WinError::SUCCESS;
}

QList<QPair<CRememberedDrives::Entry, int>>
CCifsConnector::RestoreRemembered(const QString& strPassword) {
    QList<QPair<CRememberedDrives::Entry, int>> results;
    QList<CRememberedDrives::Entry> entries;
    if (CRememberedDrives(m_options.m_strDrivesFile).Load(&entries) != CRememberedDrives::State::Ok)
        return results;
    for (const CRememberedDrives::Entry& entry : entries)
        results.append({entry, Connect(entry.m_strRemote, entry.m_strLocal, entry.m_strUser,
                                       strPassword, false)});
    return results;
}

int CCifsConnector::MapMountErrno(int nErrno) {
    switch (nErrno) {
    case EACCES:
    case EKEYREJECTED:
    case EKEYEXPIRED:
        return WinError::INVALID_PASSWORD;
    case EPERM:
        return WinError::ACCESS_DENIED;
    case ENOENT:
    case ENXIO:
    case ENODEV: // the kernel has no CIFS client: no network
        return WinError::NO_NETWORK;
    case EBUSY:
        return WinError::ALREADY_ASSIGNED;
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ECONNREFUSED:
    case ETIMEDOUT:
    case ENETUNREACH:
        return WinError::NO_NET_OR_BAD_PATH;
    case ENOTDIR:
        return WinError::BAD_DEV_TYPE;
    default:
        return WinError::EXTENDED_ERROR;
    }
}

int CCifsConnector::MapNtStatus(const QString& strStatus) {
    static const QHash<QString, int> codes = {
        {QStringLiteral("NT_STATUS_LOGON_FAILURE"), WinError::INVALID_PASSWORD},
        {QStringLiteral("NT_STATUS_WRONG_PASSWORD"), WinError::INVALID_PASSWORD},
        {QStringLiteral("NT_STATUS_NO_SUCH_USER"), WinError::INVALID_PASSWORD},
        {QStringLiteral("NT_STATUS_PASSWORD_EXPIRED"), WinError::INVALID_PASSWORD},
        {QStringLiteral("NT_STATUS_PASSWORD_MUST_CHANGE"), WinError::INVALID_PASSWORD},
        {QStringLiteral("NT_STATUS_ACCESS_DENIED"), WinError::ACCESS_DENIED},
        {QStringLiteral("NT_STATUS_NETWORK_ACCESS_DENIED"), WinError::ACCESS_DENIED},
        {QStringLiteral("NT_STATUS_ACCOUNT_DISABLED"), WinError::ACCESS_DENIED},
        {QStringLiteral("NT_STATUS_ACCOUNT_LOCKED_OUT"), WinError::ACCESS_DENIED},
        {QStringLiteral("NT_STATUS_ACCOUNT_RESTRICTION"), WinError::ACCESS_DENIED},
        {QStringLiteral("NT_STATUS_BAD_NETWORK_NAME"), WinError::NO_NETWORK},
        {QStringLiteral("NT_STATUS_OBJECT_NAME_NOT_FOUND"), WinError::NO_NETWORK},
        {QStringLiteral("NT_STATUS_OBJECT_PATH_NOT_FOUND"), WinError::NO_NETWORK},
        {QStringLiteral("NT_STATUS_CONNECTION_REFUSED"), WinError::NO_NET_OR_BAD_PATH},
        {QStringLiteral("NT_STATUS_HOST_UNREACHABLE"), WinError::NO_NET_OR_BAD_PATH},
        {QStringLiteral("NT_STATUS_NETWORK_UNREACHABLE"), WinError::NO_NET_OR_BAD_PATH},
        {QStringLiteral("NT_STATUS_IO_TIMEOUT"), WinError::NO_NET_OR_BAD_PATH},
        {QStringLiteral("NT_STATUS_BAD_NETWORK_PATH"), WinError::NO_NET_OR_BAD_PATH},
        {QStringLiteral("NT_STATUS_PORT_UNREACHABLE"), WinError::NO_NET_OR_BAD_PATH},
        // smbclient's word for a host name that does not resolve
        {QStringLiteral("NT_STATUS_UNSUCCESSFUL"), WinError::NO_NET_OR_BAD_PATH},
    };
    return codes.value(strStatus, WinError::EXTENDED_ERROR);
}

bool CCifsConnector::IsMountPoint(const QString& strPath, const QString& strMountTable) {
    const QString strCanonical = QFileInfo(strPath).canonicalFilePath();
    QFile file(strMountTable);
    if (strCanonical.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    static const QRegularExpression escape(QStringLiteral("\\\\([0-7]{3})"));
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        // Blanks in mount points are written as octal escapes.
        QString strPoint = QString::fromLocal8Bit(fields[4]);
        QRegularExpressionMatch match;
        while ((match = escape.match(strPoint)).hasMatch())
            strPoint.replace(match.capturedStart(), match.capturedLength(),
                             QChar(match.captured(1).toInt(nullptr, 8)));
        if (strPoint == strCanonical)
            return true;
    }
    return false;
}

std::unique_ptr<IConnector> CreatePlatformConnector() {
    return std::make_unique<CCifsConnector>();
}
