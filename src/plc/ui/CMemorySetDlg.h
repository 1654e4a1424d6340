#pragma once

#include "widgets/CBackgroundDialog.h"

#include <QString>

class QLineEdit;

// "메모리 설정": one word of a PLC screen's memory table, by index, with
// the value to put there. The caller writes the word once the dialog is
// confirmed; the dialog itself only lets through an index the table has.
class CMemorySetDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    enum ControlId { IDC_NAME = 1041, IDC_INDEX = 1047, IDC_VALUE = 1048 };
    static constexpr const char* kIndexOutOfRange = "인덱스는 0부터 999까지입니다.";

    explicit CMemorySetDlg(QWidget* parent = nullptr);

    // Fills the fields from the memory name, index and value.
    void SetValues(const QString& strName, int nIndex, int nValue);

    // The "확인" path (also Enter): both numbers must be integers and the
    // index must lie in the table. Returns whether the dialog closed.
    bool TryAccept();

    QLineEdit* NameEdit() const { return m_pName; }
    QLineEdit* IndexEdit() const { return m_pIndex; }
    QLineEdit* ValueEdit() const { return m_pValue; }

    QString m_strName;
    int m_nIndex = 0;
    int m_nValue = 0;

private:
    QLineEdit* m_pName;
    QLineEdit* m_pIndex;
    QLineEdit* m_pValue;
};
