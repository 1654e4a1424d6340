#include "plc/ui/CMemorySetDlg.h"

#include "link/ui/CDialogFields.h"
#include "link/ui/CEnterConfirms.h"
#include "plc/MemoryTable.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

CMemorySetDlg::CMemorySetDlg(QWidget* parent) : CBackgroundDialog(parent) {
    setWindowTitle(tr("메모리 설정"));
    auto* box = new QGroupBox(tr("메모리 설정"));
    auto* grid = new QGridLayout(box);
    m_pName = CDialogFields::AddEdit(grid, 0, tr("사용 메모리 이름"), IDC_NAME);
    m_pIndex = CDialogFields::AddEdit(grid, 1, tr("인덱스"), IDC_INDEX);
    m_pValue = CDialogFields::AddEdit(grid, 2, tr("설정 값"), IDC_VALUE);
    m_pName->setReadOnly(true);
    m_pName->setFocusPolicy(Qt::NoFocus);
    m_pName->setAlignment(Qt::AlignCenter);
    m_pIndex->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* fields = new QVBoxLayout;
    fields->addWidget(box);
    CDialogFields::LayOut(
        this, fields, [this] { TryAccept(); }, true);
    CEnterConfirms::Install(this, [this] { TryAccept(); });
}

void CMemorySetDlg::SetValues(const QString& strName, int nIndex, int nValue) {
    m_strName = strName;
    m_nIndex = nIndex;
    m_nValue = nValue;
    m_pName->setText(m_strName);
    m_pIndex->setText(QString::number(m_nIndex));
    m_pValue->setText(QString::number(m_nValue));
    m_pIndex->setFocus(Qt::OtherFocusReason);
    m_pIndex->selectAll();
}

bool CMemorySetDlg::TryAccept() {
    int index = m_nIndex;
    int value = m_nValue;
    if (!CDialogFields::ReadInt(this, m_pIndex, index) ||
        !CDialogFields::ReadInt(this, m_pValue, value))
        return false;
    // A word outside the table does not exist; writing it is refused here
    // rather than dropped silently after the dialog has closed.
    if (!MemoryTable::Contains(index)) {
        CDialogFields::Complain(this, m_pIndex, tr(kIndexOutOfRange));
        m_pIndex->selectAll();
        return false;
    }
    m_nIndex = index;
    m_nValue = value;
    accept();
    return true;
}
