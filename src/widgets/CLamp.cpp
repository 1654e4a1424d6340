#include "widgets/CLamp.h"

#include "widgets/CArtwork.h"

#include <QPainter>

CLamp::CLamp(const QString& caption, int bitmap, QWidget* parent)
    : QWidget(parent), m_strCaption(caption), m_nBitmap(bitmap) {
    setAccessibleName(caption);
}

void CLamp::SetBitmap(int bitmap) {
    if (bitmap == m_nBitmap)
        return;
    m_nBitmap = bitmap;
    update();
}

QSize CLamp::sizeHint() const {
    return {20 + fontMetrics().horizontalAdvance(m_strCaption) + 4, 18};
}

void CLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap lamp = CArtwork::Bitmap(m_nBitmap);
    p.drawPixmap(0, (height() - lamp.height()) / 2, lamp);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_strCaption);
}
