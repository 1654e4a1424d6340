#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Makes Enter confirm a dialog wherever the focus is, also on a drop-down
// list or on a button other than the default one. Installed on the dialog
// and every widget it holds at the time of the call.
class CEnterConfirms : public QObject {
    Q_OBJECT
public:
    static void Install(QWidget* dialog, std::function<void()> confirm);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CEnterConfirms(QWidget* dialog, std::function<void()> confirm);

    std::function<void()> m_confirm;
};
