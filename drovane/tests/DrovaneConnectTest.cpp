// drovane-connect and the real process runner against stand-in smbclient
// and mount.cifs scripts, found first on PATH: they record what they were
// given, including what they read from PASSWD_FD.

#include "QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// smbclient accepts only the password in "good"; mount.cifs accepts all.
const QByteArray kScript =
    "#!/bin/sh\n"
    "d=$(dirname \"$0\"); n=$(basename \"$0\")\n"
    "cat \"/dev/fd/$PASSWD_FD\" > \"$d/$n.pass\" || exit 99\n"
    "printf '%s\\n' \"$@\" > \"$d/$n.args\"\n"
    "printf '%s' \"$USER\" > \"$d/$n.user\"\n"
    "env > \"$d/$n.env\"\n"
    "if [ \"$n\" = smbclient ] && ! cmp -s \"$d/good\" \"$d/$n.pass\"; then\n"
    "  echo 'session setup failed: NT_STATUS_LOGON_FAILURE'; exit 1\n"
    "fi\n";

struct Tools {
    QTemporaryDir dir;

    Tools() {
        for (const char* pszName : {"smbclient", "mount.cifs"}) {
            QFile file(dir.filePath(QString::fromLatin1(pszName)));
            if (file.open(QIODevice::WriteOnly))
                file.write(kScript);
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                QFileDevice::ExeOwner);
        }
    }
    QByteArray Read(const QString& strName) const {
        QFile file(dir.filePath(strName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Runs drovane-connect; returns what it printed on stdout.
    QByteArray Run(const QStringList& args, const QByteArray& good) {
        QFile file(dir.filePath(QStringLiteral("good")));
        if (file.open(QIODevice::WriteOnly))
            file.write(good);
        file.close();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), dir.path() + QLatin1Char(':') + env.value("PATH"));
        env.insert(QStringLiteral("DROVANE_MOUNT_BASE"), dir.filePath(QStringLiteral("Network")));
        env.insert(QStringLiteral("DROVANE_DRIVES_FILE"), dir.filePath(QStringLiteral("drives")));
        env.remove(QStringLiteral("DROVANE_PASSWORD"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(DROVANE_CONNECT_PATH), args);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return "<timeout>";
        return process.readAllStandardOutput();
    }
};

// A user name or password that looks like one of Qt's own options stays
// what it is, and the password reaches both tools through PASSWD_FD,
// leading blank, "=", "%", "," and TAB included.
TEST(DrovaneConnect, HandsUserAndPasswordToTheToolsUnchanged) {
    const struct {
        QString strUser;
        QString strPassword;
    } rows[] = {
        {QStringLiteral("-reverse"), QStringLiteral(" lead=blank%pw,x")},
        {QStringLiteral("-style"), QStringLiteral("fusion")},
        {QStringLiteral("-platform"), QStringLiteral("-reverse")},
        {QStringLiteral("engineer"), QStringLiteral("tab\there")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.strUser + QLatin1Char(' ') + row.strPassword).toStdString());
        Tools tools;
        const QByteArray out = tools.Run({QStringLiteral("//127.0.0.1/data"), QStringLiteral("Z:"),
                                          row.strUser, row.strPassword},
                                         row.strPassword.toUtf8());
        EXPECT_EQ(out, QByteArray("1\n"));
        for (const char* pszTool : {"smbclient", "mount.cifs"}) {
            const QString strTool = QString::fromLatin1(pszTool);
            SCOPED_TRACE(pszTool);
            EXPECT_EQ(tools.Read(strTool + QStringLiteral(".pass")), row.strPassword.toUtf8());
            EXPECT_EQ(tools.Read(strTool + QStringLiteral(".user")), row.strUser.toUtf8());
            const QByteArray env = tools.Read(strTool + QStringLiteral(".env"));
            EXPECT_FALSE(env.contains(row.strPassword.toUtf8()));
            EXPECT_FALSE(env.contains("PASSWD="));
        }
        EXPECT_TRUE(tools.Read(QStringLiteral("smbclient.args"))
                        .contains("--user=" + row.strUser.toUtf8() + "\n"));
        EXPECT_EQ(tools.Read(QStringLiteral("drives")),
                  "Z:\t//127.0.0.1/data\t" + row.strUser.toUtf8() + "\n");
    }
}

} // namespace
