// Opens a pseudo-terminal, hands its slave end to a Brevel control as port 9
// (BREVEL_COM9), writes a text into the master end and prints what the
// control delivers in DataReceive. Exits 0 on the expected text, 1 otherwise.
#include <Brevel.h>

#include <QApplication>
#include <QTimer>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    termios tio{};
    cfmakeraw(&tio);
    int nMaster = -1;
    int nSlave = -1;
    char szName[256] = {};
    if (::openpty(&nMaster, &nSlave, szName, &tio, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    qputenv("BREVEL_COM9", szName);

    Brevel brevel;
    brevel.setCommPort(9);
    brevel.setSettings(QStringLiteral("9600,n,8,1"));
    if (!brevel.PortOpen(true)) {
        std::fprintf(stderr, "cannot open %s\n", szName);
        return 1;
    }

    const char szText[] = "hello from the pty";
    int nExit = 1;
    QObject::connect(&brevel, &Brevel::DataReceive, &app, [&](const QString& strData) {
        std::printf("DataReceive: %s\n", qPrintable(strData));
        nExit = strData == QLatin1String(szText) ? 0 : 1;
        app.quit();
    });
    // The whole check is bounded: a control that never delivers fails it.
    QTimer::singleShot(10000, &app, [&] {
        std::fprintf(stderr, "no DataReceive within 10 s\n");
        app.quit();
    });
    if (::write(nMaster, szText, std::strlen(szText)) < 0) {
        std::perror("write");
        return 1;
    }
    app.exec();
    brevel.PortOpen(false);
    ::close(nSlave);
    ::close(nMaster);
    return nExit;
}
