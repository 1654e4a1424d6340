#include "CQtDrovaneUi.h"

#include "frmConnection.h"

#include <QMessageBox>

void CQtDrovaneUi::ShowMessage(const QString& strText) {
    // A plain box with one OK button, titled with the library's name.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Drovane"), strText, QMessageBox::Ok);
    box.exec();
}

void CQtDrovaneUi::RunForm(frmConnection& form) {
    form.exec();
}
