#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The analyzer's find bar: the text or hex digits to look for, previous and
// next, and a line that says what the last search found. It asks the view
// to search and never opens a window of its own.
class CFindBar : public QGroupBox {
    Q_OBJECT
public:
    static constexpr const char* kNotFound = "찾을 수 없습니다.";
    static constexpr const char* kWrappedForward = "끝까지 찾았으므로 처음부터 다시 찾았습니다.";
    static constexpr const char* kWrappedBackward = "처음까지 찾았으므로 끝부터 다시 찾았습니다.";

    explicit CFindBar(QWidget* parent = nullptr);

    QLineEdit* TextBox() const { return m_pText; }
    QCheckBox* HexBox() const { return m_pHex; }
    QPushButton* PreviousButton() const { return m_pPrevious; }
    QPushButton* NextButton() const { return m_pNext; }
    QString GetStatus() const;
    void SetStatus(const QString& text);

    // Shown with the text box focused and its text selected.
    void Open();

signals:
    void FindRequested(bool forward);
    // The text, the hex choice or the bar's visibility changed: a match
    // found before no longer stands.
    void PatternChanged();

private:
    QLineEdit* m_pText = nullptr;
    QCheckBox* m_pHex = nullptr;
    QPushButton* m_pPrevious = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pClose = nullptr;
    QLabel* m_pStatus = nullptr;
};
