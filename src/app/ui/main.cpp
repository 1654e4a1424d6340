#include "app/ui/CTessaryApp.h"
#include "widgets/CQtKorean.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    QApplication::setApplicationName(QStringLiteral("QUILLET"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    // Wayland matches the window to its launcher by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillet"));
    // A Korean program: Qt's own dialogs and buttons speak Korean too.
    CQtKorean::Install();
    QStringList args = QApplication::arguments();
    args.removeFirst();
    CTessaryApp program;
    return program.Run(args);
}
