#include "widgets/CQtKorean.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QTranslator* CQtKorean::Install() {
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    // Dates and sizes in the file dialog follow the same language.
    QLocale::setDefault(korean);
    auto* translator = new QTranslator(QCoreApplication::instance());
    // qtbase holds the texts of every standard dialog and button.
    if (!translator->load(korean, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
