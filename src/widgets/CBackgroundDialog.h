#pragma once

#include <QDialog>

// The base of the program's dialogs: paints the background picture behind
// its controls.
class CBackgroundDialog : public QDialog {
    Q_OBJECT
public:
    explicit CBackgroundDialog(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
