#pragma once

#include <QWidget>

class Brevel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QSpinBox;

// A host form with one Brevel on it: choose the port and line settings, open
// it, and watch each DataReceive text arrive. The control's properties are
// kept in the host's settings between runs.
class CBrevelDemoForm : public QWidget {
    Q_OBJECT

public:
    explicit CBrevelDemoForm(QSettings& settings, QWidget* pParent = nullptr);

    Brevel* Control() const { return m_pBrevel1; }
    // Fills the port and settings boxes; OpenPort applies them.
    void SetLine(int nPort, const QString& strSettings);
    void OpenPort();
    void ClosePort();

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void ShowState();
    void AddText(const QString& strData);

    QSettings& m_settings;
    Brevel* m_pBrevel1;
    QSpinBox* m_pPortBox;
    QLineEdit* m_pSettingsEdit;
    QPushButton* m_pOpenButton;
    QLabel* m_pStateLabel;
    QPlainTextEdit* m_pReceivedView;
};
