#pragma once

#include "tools/CHelpTopics.h"
#include "widgets/CBackgroundDialog.h"

#include <array>

class QPlainTextEdit;
class QPushButton;

// The help window: a column of topic buttons and a read-only text box that
// shows one topic at a time. It is made once, hidden, and only ever hidden
// again when closed, so it reopens on the topic it last had.
class CHelpDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    static constexpr int IDC_TEXT = 1041;

    explicit CHelpDlg(QWidget* parent = nullptr);

    // Replaces the whole text with the topic (a CHelpTopics::Topic).
    void ShowTopic(int topic);
    int GetTopic() const { return m_nTopic; }
    // The control id of a topic's button.
    static int ButtonId(int topic);

    QPushButton* TopicButton(int topic) const;
    QPlainTextEdit* TextBox() const { return m_pText; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::array<QPushButton*, CHelpTopics::TOPIC_COUNT> m_buttons{};
    QPlainTextEdit* m_pText = nullptr;
    int m_nTopic = -1;
    bool m_bShown = false;
};
