#pragma once

#include "app/ui/CScreenView.h"
#include "tools/CChatLineBuffer.h"

#include <QTimer>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// Screen 9: chat with another copy of the program over the open link.
// Enter anywhere on the screen sends the edit box's text as one CP949 line
// ending in CR LF; what arrives is shown line by line (CChatLineBuffer).
class CComChattingView : public CScreenView {
    Q_OBJECT
public:
    enum ControlId {
        IDC_EDIT = 1026,
        IDC_CLEAR = 1057,
        IDC_LIST = 1092,
    };
    static constexpr int SCREEN = 9;
    static constexpr int ID_TIMER_SILENCE = 10;
    static constexpr const char* kGreeting = "안녕하세요 채팅창 입니다.";
    static constexpr const char* kNotUp = "통신 설정을 안했거나 통신이 실패한 상태입니다.";
    // The conversation keeps this many lines; the oldest go first.
    static constexpr int kMaxLines = 10000;

    explicit CComChattingView(IScreenHost& host, QWidget* parent = nullptr);

    void InitialUpdate() override;
    void OnLinkData(const std::uint8_t* bytes, int count) override;

    // Enter: sends the edit box's text.
    void OnEnter();
    void OnClear();
    // Timer 10's body.
    void OnSilenceTimer();

    QTreeWidget* List() const { return m_pList; }
    QLineEdit* Edit() const { return m_pEdit; }
    QPushButton* ClearButton() const { return m_pClear; }
    bool IsSilenceTimerActive() const { return m_silenceTimer.isActive(); }

protected:
    QString TitlePrefix() const override { return tr("채팅"); }
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddLine(const QString& line);
    void AddLines(const std::vector<std::string>& lines);

    CChatLineBuffer m_buffer;
    QTimer m_silenceTimer;
    QTreeWidget* m_pList = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QPushButton* m_pClear = nullptr;
    QLabel* m_pPanel = nullptr;
};
