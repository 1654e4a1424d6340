#include "filesend/ui/CFileModifyDlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFileModifyDlg::CFileModifyDlg(const QString& path, const QString& name, QWidget* parent)
    : QDialog(parent), m_pPath(new QLineEdit(path)), m_pName(new QLineEdit(name)) {
    setWindowTitle(tr("파일 수정"));
    m_pPath->setObjectName(QString::number(IDC_FULL_PATH));
    m_pName->setObjectName(QString::number(IDC_NAME));
    m_pPath->setMinimumWidth(360);

    auto* group = new QGroupBox(tr("파일 위치"));
    auto* form = new QFormLayout(group);
    form->addRow(tr("전체 이름"), m_pPath);
    form->addRow(tr("파일 이름"), m_pName);

    auto* buttons = new QDialogButtonBox;
    auto* browse = buttons->addButton(tr("파일찾기"), QDialogButtonBox::ActionRole);
    browse->setObjectName(QString::number(IDC_BROWSE));
    buttons->addButton(tr("확인"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("취소"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, tr("파일찾기"), m_pPath->text(),
                                                            tr("All Files(*.*)"));
        if (!chosen.isEmpty())
            SetFile(chosen);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

QString CFileModifyDlg::Path() const {
    return m_pPath->text();
}

QString CFileModifyDlg::Name() const {
    return m_pName->text();
}

void CFileModifyDlg::SetFile(const QString& path) {
    m_pPath->setText(path);
    m_pName->setText(QFileInfo(path).fileName());
}
