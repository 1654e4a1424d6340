#include "widgets/CMessageBox.h"

#include <QMessageBox>

CMessageBox::Hook& CMessageBox::CurrentHook() {
    static Hook hook;
    return hook;
}

void CMessageBox::SetHook(Hook hook) {
    CurrentHook() = std::move(hook);
}

void CMessageBox::Show(QWidget* parent, const QString& text, const QString& title) {
    const QString shownTitle = title.isEmpty() ? QString::fromUtf8(kTitle) : title;
    if (const Hook& hook = CurrentHook()) {
        hook(shownTitle, text);
        return;
    }
    QMessageBox::information(parent, shownTitle, text);
}
