#pragma once

#include "CRememberedDrives.h"
#include "IConnector.h"

#include <QString>
#include <QStringList>

#include <functional>

// The Linux back end: a share given as \\server\share (or //server/share) is
// mounted with the system's CIFS client on a folder named after the drive
// letter (Z: -> ~/Network/Z). The log-on is checked with smbclient first,
// when it is installed, since the server's own answer tells a bad password
// from a refused share, which the kernel reports alike.
class DROVANE_EXPORT CCifsConnector : public IConnector {
public:
    struct Options {
        QString m_strMountBase;  // folder that holds one folder per drive letter
        QString m_strDrivesFile; // remembered mappings
        int m_nPort = 0;         // SMB port; 0 for the standard one
        QString m_strMountCifs = QStringLiteral("mount.cifs");
        QString m_strSmbClient = QStringLiteral("smbclient");
        // The kernel's list of mounts, read to tell a drive in use.
        QString m_strMountTable = QStringLiteral("/proc/self/mountinfo");

        // Defaults, overridden by DROVANE_MOUNT_BASE, DROVANE_DRIVES_FILE and
        // DROVANE_SMB_PORT.
        static Options FromEnvironment();
    };

    struct RunResult {
        // -1: the program is not installed or could not be started; -2: it was
        // stopped or took too long; -3: its password could not be handed over
        int m_nExit = -1;
        QString m_strOutput;
    };
    // Runs a program with no input, with the variables of environment
    // ("NAME=value") added to its own, and returns its exit code and merged
    // output. The password reaches it through a pipe whose descriptor
    // PASSWD_FD names, which smbclient and mount.cifs both read.
    using Runner =
        std::function<RunResult(const QString& strProgram, const QStringList& args,
                                const QStringList& environment, const QByteArray& password)>;

    explicit CCifsConnector(Options options = Options::FromEnvironment(), Runner runner = {});

    int AddConnection(const QString& strRemote, const QString& strPassword,
                      const QString& strLocal) override;
    int AddConnection2(const NetResource& resource, const QString& strPassword,
                       const QString& strUser, unsigned nFlags) override;

    // Mounts every remembered mapping again as its user, with the password
    // given (empty for none); returns the code of each, in file order.
    QList<QPair<CRememberedDrives::Entry, int>> RestoreRemembered(const QString& strPassword);

    // The folder a drive string maps to, or empty when it names no drive.
    QString MountPoint(const QString& strLocal) const;

    static int MapMountErrno(int nErrno);
    static int MapNtStatus(const QString& strStatus);
    static bool IsMountPoint(const QString& strPath,
                             const QString& strMountTable = QStringLiteral("/proc/self/mountinfo"));

private:
    int Connect(const QString& strRemote, const QString& strLocal, const QString& strUser,
                const QString& strPassword, bool bRemember);

    Options m_options;
    Runner m_runner;
};
