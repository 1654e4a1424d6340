#include "widgets/CBackgroundDialog.h"

#include "widgets/CArtwork.h"

#include <QPainter>

CBackgroundDialog::CBackgroundDialog(QWidget* parent) : QDialog(parent) {
    // The caption's help button means nothing here.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void CBackgroundDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CArtwork::PaintBackground(p, rect());
}
