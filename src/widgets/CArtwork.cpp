#include "widgets/CArtwork.h"

#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

QPixmap CArtwork::Bitmap(int id) {
    static QHash<int, QPixmap> cache;
    auto found = cache.find(id);
    if (found != cache.end())
        return *found;
    QPixmap pixmap;
    switch (id) {
    case BMP_LAMP_GREY:
        pixmap = DrawLamp(QColor(150, 150, 150));
        break;
    case BMP_LAMP_GREEN:
        pixmap = DrawLamp(QColor(40, 200, 60));
        break;
    case BMP_LAMP_RED:
        pixmap = DrawLamp(QColor(220, 40, 40));
        break;
    case BMP_SPLASH:
        pixmap = DrawSplash();
        break;
    case BMP_BACKGROUND:
        pixmap = DrawBackground();
        break;
    case BMP_TREE:
        pixmap = DrawTree();
        break;
    default:
        return {};
    }
    cache.insert(id, pixmap);
    return pixmap;
}

void CArtwork::PaintBackground(QPainter& painter, const QRect& rect) {
    painter.drawTiledPixmap(rect, Bitmap(BMP_BACKGROUND));
}

QIcon CArtwork::AppIcon() {
    static QIcon icon = [] {
        QIcon made;
        for (int size : {16, 32, 48, 64, 128})
            made.addPixmap(DrawIcon(size));
        return made;
    }();
    return icon;
}

QPixmap CArtwork::DrawLamp(const QColor& colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(6, 6), 8);
    glow.setColorAt(0, colour.lighter(170));
    glow.setColorAt(1, colour.darker(120));
    p.setBrush(glow);
    p.setPen(QPen(colour.darker(200), 1));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return pixmap;
}

// A light blue-grey with faint diagonal lines: quiet enough for black text
// and the lamps, and tiles without seams.
QPixmap CArtwork::DrawBackground() {
    QPixmap pixmap(64, 64);
    pixmap.fill(QColor(222, 228, 238));
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(212, 219, 232), 1));
    for (int i = -64; i < 64; i += 8)
        p.drawLine(i, 64, i + 64, 0);
    return pixmap;
}

QPixmap CArtwork::DrawTree() {
    QPixmap pixmap(64, 64);
    pixmap.fill(QColor(246, 248, 252));
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(236, 240, 247), 1));
    for (int y = 0; y < 64; y += 16)
        p.drawLine(0, y, 64, y);
    return pixmap;
}

// The picture shown while the program starts: the name over a trace of
// bytes on a wire.
QPixmap CArtwork::DrawSplash() {
    QPixmap pixmap(SPLASH_WIDTH, SPLASH_HEIGHT);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, SPLASH_HEIGHT);
    sky.setColorAt(0, QColor(24, 44, 86));
    sky.setColorAt(1, QColor(58, 96, 150));
    p.fillRect(pixmap.rect(), sky);

    // A serial trace: start bit, eight data bits, stop bit, repeated.
    p.setPen(QPen(QColor(120, 220, 160), 2));
    QPainterPath trace;
    const int high = 190;
    const int low = 214;
    const unsigned char bytes[] = {0x51, 0x55, 0x49, 0x4C, 0x4C, 0x45, 0x54};
    double x = 12;
    trace.moveTo(0, high);
    trace.lineTo(x, high);
    const double bit = 376.0 / (sizeof bytes * 10);
    for (unsigned char byte : bytes) {
        int levels[10];
        levels[0] = low;
        for (int i = 0; i < 8; ++i)
            levels[i + 1] = (byte >> i) & 1 ? high : low;
        levels[9] = high;
        for (int level : levels) {
            trace.lineTo(x, level);
            x += bit;
            trace.lineTo(x, level);
        }
    }
    trace.lineTo(SPLASH_WIDTH, high);
    p.drawPath(trace);

    p.setPen(QColor(255, 255, 255));
    QFont title("Sans Serif", 40, QFont::Bold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    p.setFont(title);
    p.drawText(QRect(0, 40, SPLASH_WIDTH, 70), Qt::AlignCenter, QStringLiteral("QUILLET"));
    p.setPen(QColor(200, 215, 240));
    p.setFont(QFont("Sans Serif", 11));
    p.drawText(QRect(0, 112, SPLASH_WIDTH, 24), Qt::AlignCenter,
               QStringLiteral("통신 분석기 · PLC 모니터"));
    p.setFont(QFont("Sans Serif", 9));
    p.drawText(QRect(0, 136, SPLASH_WIDTH, 20), Qt::AlignCenter,
               QStringLiteral("RS-232C  ·  TCP/IP  ·  UDP/IP  ·  IPX/SPX"));
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return pixmap;
}

// A quill over a wave on a dark blue tile.
QPixmap CArtwork::DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient tile(0, 0, 0, 64);
    tile.setColorAt(0, QColor(40, 70, 130));
    tile.setColorAt(1, QColor(20, 36, 74));
    p.setBrush(tile);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setPen(QPen(QColor(120, 220, 160), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath wave;
    wave.moveTo(10, 46);
    wave.lineTo(18, 46);
    wave.lineTo(18, 38);
    wave.lineTo(28, 38);
    wave.lineTo(28, 46);
    wave.lineTo(36, 46);
    wave.lineTo(36, 38);
    wave.lineTo(54, 38);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 245, 250));
    QPainterPath quill;
    quill.moveTo(50, 8);
    quill.cubicTo(36, 12, 26, 22, 22, 34);
    quill.lineTo(26, 32);
    quill.cubicTo(34, 28, 46, 20, 50, 8);
    p.drawPath(quill);
    return pixmap;
}
