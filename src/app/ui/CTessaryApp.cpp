#include "app/ui/CTessaryApp.h"

#include "app/CProgramSettings.h"
#include "app/CQSettingsStore.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CScreenFactory.h"
#include "app/ui/CScreenView.h"
#include "app/ui/CSplashWnd.h"
#include "tools/ui/CHelpDlg.h"
#include "widgets/CMessageBox.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

// The framework's switches that start the program without its splash.
bool IsNoSplashSwitch(const QString& arg) {
    QString name = arg;
    while (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0;
}

void PrintError(const QString& text) {
    std::fprintf(stderr, "quillet: %s\n", text.toLocal8Bit().constData());
}

} // namespace

QString CTessaryApp::Usage() {
    return QStringLiteral(
        "usage: quillet [FILE.alr]\n"
        "       quillet --screenshot FILE.png [--screen N] [FILE.alr]\n"
        "\n"
        "  FILE.alr           open this capture file\n"
        "  --screenshot FILE  start without the splash, show the screen, write the\n"
        "                     main window as a PNG picture to FILE and exit\n"
        "  --screen N         the screen to show for the screenshot (0 analyzer)\n");
}

bool CTessaryApp::ParseArguments(const QStringList& args, Options& options, QString& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--screenshot") || arg == QLatin1String("--screen")) {
            if (i + 1 >= args.size()) {
                error = arg + QStringLiteral(" needs a value");
                return false;
            }
            const QString value = args[++i];
            if (value.isEmpty()) {
                error = arg + QStringLiteral(" needs a value");
                return false;
            }
            if (arg == QLatin1String("--screenshot")) {
                options.m_strScreenshot = value;
                continue;
            }
            bool ok = false;
            options.m_nScreen = value.toInt(&ok);
            if (!ok || options.m_nScreen < 0 || options.m_nScreen > 9) {
                error = QStringLiteral("--screen takes a screen number 0..9, not ") + value;
                return false;
            }
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.m_bHelp = true;
        } else if (IsNoSplashSwitch(arg)) {
            options.m_bSplash = false;
        } else if (arg.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option ") + arg;
            return false;
        } else if (options.m_strFile.isEmpty()) {
            options.m_strFile = arg;
        } else {
            error = QStringLiteral("only one capture file can be opened");
            return false;
        }
    }
    if (options.m_nScreen >= 0 && options.m_strScreenshot.isEmpty()) {
        error = QStringLiteral("--screen goes with --screenshot");
        return false;
    }
    if (!options.m_strScreenshot.isEmpty())
        options.m_bSplash = false;
    return true;
}

int CTessaryApp::Run(const QStringList& args) {
    Options options;
    QString error;
    if (!ParseArguments(args, options, error)) {
        PrintError(error);
        std::fputs(Usage().toLocal8Bit().constData(), stderr);
        return EXIT_USAGE;
    }
    if (options.m_bHelp) {
        std::fputs(Usage().toLocal8Bit().constData(), stdout);
        return 0;
    }

    QPointer<CSplashWnd> splash;
    if (options.m_bSplash) {
        splash = new CSplashWnd;
        splash->ShowSplash();
    }

    // Without a window to answer them, messages go to the error output.
    if (!options.m_strScreenshot.isEmpty())
        CMessageBox::SetHook([](const QString&, const QString& text) { PrintError(text); });

    CQSettingsStore store;
    CProgramSettings settings;
    settings.Load(store);
    QString settingsProblem;
    if (store.GetStatus() == QSettings::AccessError) {
        settingsProblem = QStringLiteral("설정 파일을 읽을 수 없어 기본 설정으로 시작합니다: ") +
                          store.FileName();
    } else if (store.GetStatus() == QSettings::FormatError) {
        const QString copy = store.KeepDamagedCopy();
        settingsProblem = QStringLiteral("설정 파일이 손상되어 읽을 수 있는 값만 사용합니다: ") +
                          store.FileName();
        if (!copy.isEmpty())
            settingsProblem +=
                QStringLiteral("\n원래 파일은 ") + copy + QStringLiteral(" 에 보관했습니다.");
    }
    CScreenFactory::RegisterProgramScreens();
    if (options.m_nScreen >= 0 && !CScreenFactory::Has(options.m_nScreen)) {
        PrintError(QStringLiteral("screen %1 is not part of this version").arg(options.m_nScreen));
        return EXIT_USAGE;
    }

    CMainFrame frame(settings, store);
    QObject::connect(&frame, &CMainFrame::exited, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frame.show();
    // A capture named on the command line (a double-click) is shown on the
    // analyzer. One that cannot be read whole is said so over the window,
    // which keeps whatever records came before the damage.
    if (!options.m_strFile.isEmpty())
        frame.OpenDocument(options.m_strFile);
    if (options.m_nScreen >= 0)
        frame.SwitchScreen(options.m_nScreen);

    if (!settingsProblem.isEmpty())
        QTimer::singleShot(0, &frame, [&] { CMessageBox::Show(&frame, settingsProblem); });

    // Made now and shown by the menu; closing it only hides it.
    frame.SetHelpWindow(new CHelpDlg(&frame));

    int status = 0;
    if (!options.m_strScreenshot.isEmpty()) {
        // Give the window a moment to be laid out and painted, then take the
        // picture and leave the normal way.
        QTimer::singleShot(500, &frame, [&] {
            if (frame.Screen())
                frame.Screen()->RefreshScreen();
            if (!frame.grab().save(options.m_strScreenshot, "PNG")) {
                PrintError(QStringLiteral("cannot write ") + options.m_strScreenshot);
                status = 1;
            }
            frame.close();
        });
    }
    const int loop = QApplication::exec();
    return status != 0 ? status : loop;
}
