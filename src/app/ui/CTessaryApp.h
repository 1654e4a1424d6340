#pragma once

#include <QString>
#include <QStringList>

// The program's start: the splash picture, the settings, the main frame with
// its first screen, a capture file named on the command line, the hidden
// help window. Also the screenshot mode the README and the tests use.
class CTessaryApp {
public:
    static constexpr int EXIT_USAGE = 64;

    struct Options {
        QString m_strFile;       // a capture file to open
        QString m_strScreenshot; // --screenshot FILE.png
        int m_nScreen = -1;      // --screen N
        bool m_bSplash = true;   // off for -Embedding, -Automation and screenshots
        bool m_bHelp = false;
    };

    // Reads the arguments after the program name; false with a message for
    // a command line that makes no sense.
    static bool ParseArguments(const QStringList& args, Options& options, QString& error);
    static QString Usage();

    // Runs the program in the QApplication that exists; returns the exit
    // status.
    int Run(const QStringList& args);
};
