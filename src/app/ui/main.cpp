#include "app/ui/CTessaryApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    QApplication::setApplicationName(QStringLiteral("QUILLET"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    QStringList args = QApplication::arguments();
    args.removeFirst();
    CTessaryApp program;
    return program.Run(args);
}
