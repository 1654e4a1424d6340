// drovane-connect PATH DRIVE [USER [PASSWORD]]: calls Connection and prints
// its result (1 connected, 2 not); the message boxes' texts go to stderr.
// The password may also come from stdin (PASSWORD "-") or DROVANE_PASSWORD,
// which keeps it out of the process list.

#ifndef _WIN32
#include "CCifsConnector.h"
#endif
#include "CDrovane.h"
#include "IConnector.h"
#include "IDrovaneUi.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace {

// No person at a script's end: texts go to stderr, the form stays closed.
class CConsoleUi : public IDrovaneUi {
public:
    void ShowMessage(const QString& strText) override {
        QString strLine = strText;
        strLine.remove(QLatin1Char('\r'));
        std::cerr << strLine.toStdString() << '\n';
    }
    void RunForm(frmConnection&) override {}
};

int Usage() {
    std::cerr << "usage: drovane-connect PATH DRIVE [USER [PASSWORD|-]]\n"
                 "       drovane-connect --restore\n"
                 "PASSWORD - reads it from stdin; with no PASSWORD, DROVANE_PASSWORD is used.\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || (std::strcmp(argv[1], "--restore") != 0 && (argc < 3 || argc > 5)))
        return Usage();

    // Copied before anything else may look at the list.
    const bool bRestore = std::strcmp(argv[1], "--restore") == 0;
    const QString strPath = bRestore ? QString() : QString::fromLocal8Bit(argv[1]);
    const QString strLocal = bRestore ? QString() : QString::fromLocal8Bit(argv[2]);
    const QString strUser = argc >= 4 ? QString::fromLocal8Bit(argv[3]) : QString();

    QString strPassword = qEnvironmentVariable("DROVANE_PASSWORD");
    // Not handed on to the programs the back end runs.
    qunsetenv("DROVANE_PASSWORD");
    if (argc == 5) {
        if (std::strcmp(argv[4], "-") == 0) {
            std::string line;
            std::getline(std::cin, line);
            strPassword = QString::fromStdString(line);
        } else {
            strPassword = QString::fromLocal8Bit(argv[4]);
            // Blank it in the process's own argument list from here on.
            std::memset(argv[4], 'x', std::strlen(argv[4]));
        }
    }

    // The form's widgets need an application, never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication takes its own options (-reverse, -style X, ...) out of the
    // list it is given; a user name or password may look like one, so it gets
    // only the program's name.
    int nAppArgc = 1;
    char* appArgv[] = {argv[0], nullptr};
    QApplication app(nAppArgc, appArgv);

    if (bRestore) {
#ifdef _WIN32
        // Windows restores remembered drives itself at log-on.
        return 0;
#else
        CCifsConnector connector;
        bool bAll = true;
        for (const auto& [entry, nCode] : connector.RestoreRemembered(strPassword)) {
            std::cout << entry.m_strLocal.toStdString() << '\t' << entry.m_strRemote.toStdString()
                      << '\t' << nCode << '\n';
            bAll = bAll && nCode == 0;
        }
        return bAll ? 0 : 1;
#endif
    }

    const std::unique_ptr<IConnector> pConnector = CreatePlatformConnector();

    CConsoleUi ui;
    CDrovane drovane(*pConnector, ui);
    const int nResult = drovane.Connection(strPath, strLocal, strUser, strPassword);
    std::cout << nResult << '\n';
    return nResult == 1 ? 0 : 1;
}
