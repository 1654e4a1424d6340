#pragma once

#include <QDialog>

class QLineEdit;

// "파일 수정": a file row's full path and name, with "파일찾기" to pick
// another file.
class CFileModifyDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId { IDC_FULL_PATH = 1078, IDC_NAME = 1079, IDC_BROWSE = 1082 };

    CFileModifyDlg(const QString& path, const QString& name, QWidget* parent = nullptr);

    QString Path() const;
    QString Name() const;
    // Fills both edits from a chosen file, as "파일찾기" does.
    void SetFile(const QString& path);

private:
    QLineEdit* m_pPath;
    QLineEdit* m_pName;
};
