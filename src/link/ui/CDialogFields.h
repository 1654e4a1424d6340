#pragma once

#include <QString>

#include <functional>

class QDialog;
class QGridLayout;
class QLayout;
class QLineEdit;
class QPushButton;
class QWidget;

// Building blocks shared by the link settings dialogs: labelled edits that
// tests and callers find by their control id, and the framework's integer
// check.
class CDialogFields {
public:
    static constexpr const char* kNotInteger = "정수를 입력하십시오.";
    static constexpr const char* kPortRange = "1에서 65535 사이의 정수를 입력하십시오.";
    static constexpr const char* kOk = "확인";
    static constexpr const char* kCancel = "취소";
    static constexpr int kEditWidth = 160;

    // A label in column 0 and an edit named after its id in column 1.
    static QLineEdit* AddEdit(QGridLayout* grid, int row, const QString& label, int id);
    // An upper-case edit (typed letters become capitals).
    static QLineEdit* AddUpperEdit(QGridLayout* grid, int row, const QString& label, int id);
    // "확인" is the default button; Enter on a focused "취소" still presses
    // "취소" unless the dialog takes Enter everywhere (CEnterConfirms).
    static QPushButton* MakeOkButton(QWidget* parent);
    static QPushButton* MakeCancelButton(QWidget* parent);
    // Puts the fields above a right-aligned row of "확인", which runs
    // accept, and, when asked, "취소"; the dialog keeps the size its
    // contents need.
    static void LayOut(QDialog* dialog, QLayout* fields, const std::function<void()>& accept,
                       bool withCancel);

    // Reads the edit as an integer. A text that is not one shows the
    // integer message, focuses the edit with its text selected and returns
    // false; value is then unchanged.
    static bool ReadInt(QWidget* dialog, QLineEdit* edit, int& value);
    // ReadInt for a port: an integer outside 1-65535 shows the range
    // message the same way.
    static bool ReadPort(QWidget* dialog, QLineEdit* edit, int& value);
    // Shows text and puts the focus on the edit whose value it is about.
    static void Complain(QWidget* dialog, QLineEdit* edit, const QString& text);
};
