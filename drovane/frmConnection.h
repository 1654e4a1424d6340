#pragma once

#include "DrovaneExport.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The form for entering a user name and password. Index 0 of the label and
// box pairs is the user name, index 1 the password.
class DROVANE_EXPORT frmConnection : public QDialog {
    Q_OBJECT
public:
    explicit frmConnection(QWidget* pParent = nullptr);

    QLabel* Label1(int nIndex) const { return m_pLabel1[nIndex]; }
    QLineEdit* Text1(int nIndex) const { return m_pText1[nIndex]; }
    QPushButton* Command1() const { return m_pCommand1; }
    QPushButton* Command2() const { return m_pCommand2; }

    // Selects the whole text of a box and gives it the focus.
    void SelectBox(int nIndex);

signals:
    // "연 결": the owner connects with the two boxes.
    void Command1Clicked();

private:
    QLabel* m_pLabel1[2];
    QLineEdit* m_pText1[2];
    QPushButton* m_pCommand1;
    QPushButton* m_pCommand2;
};
