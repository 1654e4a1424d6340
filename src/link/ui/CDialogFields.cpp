#include "link/ui/CDialogFields.h"

#include "app/CProgramSettings.h"
#include "link/CLinkValueCheck.h"
#include "link/ui/CUpperCaseValidator.h"
#include "widgets/CMessageBox.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QLineEdit* CDialogFields::AddEdit(QGridLayout* grid, int row, const QString& label, int id) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::number(id));
    // Wide enough that the smallest dialog still shows its whole caption.
    edit->setMinimumWidth(kEditWidth);
    auto* caption = new QLabel(label);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QLineEdit* CDialogFields::AddUpperEdit(QGridLayout* grid, int row, const QString& label, int id) {
    QLineEdit* edit = AddEdit(grid, row, label, id);
    edit->setValidator(new CUpperCaseValidator(edit));
    return edit;
}

QPushButton* CDialogFields::MakeOkButton(QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(kOk), parent);
    button->setObjectName(QStringLiteral("IDOK"));
    button->setDefault(true);
    return button;
}

QPushButton* CDialogFields::MakeCancelButton(QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(kCancel), parent);
    button->setObjectName(QStringLiteral("IDCANCEL"));
    return button;
}

void CDialogFields::LayOut(QDialog* dialog, QLayout* fields, const std::function<void()>& accept,
                           bool withCancel) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = MakeOkButton(dialog);
    QObject::connect(ok, &QPushButton::clicked, dialog, accept);
    buttons->addWidget(ok);
    if (withCancel) {
        QPushButton* cancel = MakeCancelButton(dialog);
        QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
        buttons->addWidget(cancel);
    }
    auto* top = new QVBoxLayout(dialog);
    top->setSizeConstraint(QLayout::SetFixedSize);
    top->addLayout(fields);
    top->addLayout(buttons);
}

bool CDialogFields::ReadInt(QWidget* dialog, QLineEdit* edit, int& value) {
    int parsed = 0;
    if (!CProgramSettings::ParseInt(edit->text().toStdString(), parsed)) {
        Complain(dialog, edit, QString::fromUtf8(kNotInteger));
        edit->selectAll();
        return false;
    }
    value = parsed;
    return true;
}

bool CDialogFields::ReadPort(QWidget* dialog, QLineEdit* edit, int& value) {
    int port = value;
    if (!ReadInt(dialog, edit, port))
        return false;
    if (!CLinkValueCheck::IsPort(port)) {
        Complain(dialog, edit, QString::fromUtf8(kPortRange));
        edit->selectAll();
        return false;
    }
    value = port;
    return true;
}

void CDialogFields::Complain(QWidget* dialog, QLineEdit* edit, const QString& text) {
    CMessageBox::Show(dialog, text);
    edit->setFocus(Qt::OtherFocusReason);
}
