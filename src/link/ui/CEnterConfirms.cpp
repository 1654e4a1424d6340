#include "link/ui/CEnterConfirms.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

CEnterConfirms::CEnterConfirms(QWidget* dialog, std::function<void()> confirm)
    : QObject(dialog), m_confirm(std::move(confirm)) {}

void CEnterConfirms::Install(QWidget* dialog, std::function<void()> confirm) {
    auto* filter = new CEnterConfirms(dialog, std::move(confirm));
    dialog->installEventFilter(filter);
    for (QWidget* child : dialog->findChildren<QWidget*>())
        child->installEventFilter(filter);
}

bool CEnterConfirms::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // An open drop-down keeps Enter for choosing its item.
    if (QApplication::activePopupWidget())
        return false;
    m_confirm();
    return true;
}
