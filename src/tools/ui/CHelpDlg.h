#pragma once
#include <QDialog>
class CHelpDlg : public QDialog {
public:
    explicit CHelpDlg(QWidget* parent = nullptr) : QDialog(parent) {}
};
