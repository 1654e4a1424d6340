// brevel-demo: a host program with one Brevel on its form.
//   brevel-demo [--port N] [--settings "9600,n,8,1"] [--open]

#include "Brevel.h"
#include "CBrevelDemoForm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevel-demo"));
    // Brevel speaks Korean; so do Qt's own message boxes and buttons here.
    QTranslator qtKorean;
    if (qtKorean.load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtKorean);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port number."),
                                        QStringLiteral("N"));
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
                                            QStringLiteral("Line settings, e.g. 9600,n,8,1."),
                                            QStringLiteral("TEXT"));
    const QCommandLineOption openOption(QStringLiteral("open"),
                                        QStringLiteral("Open the port at start."));
    parser.addOptions({portOption, settingsOption, openOption});
    parser.process(app);

    QSettings settings(QStringLiteral("Quillet"), QStringLiteral("brevel-demo"));
    CBrevelDemoForm form(settings);
    form.SetLine(
        parser.isSet(portOption) ? parser.value(portOption).toInt() : form.Control()->CommPort(),
        parser.isSet(settingsOption) ? parser.value(settingsOption) : form.Control()->Settings());
    form.show();
    if (parser.isSet(openOption))
        form.OpenPort();
    return QApplication::exec();
}
