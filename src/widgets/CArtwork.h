#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QPainter;
class QRect;

// The program's pictures, drawn in code so that no image file has to be
// shipped or kept in step: the splash picture, the background of dialogs and
// screens, the tree's background, the lamps and the program's icon. The
// numbers are the resource ids the screens and dialogs refer to.
class CArtwork {
public:
    static constexpr int BMP_LAMP_GREY = 137;
    static constexpr int BMP_LAMP_GREEN = 138;
    static constexpr int BMP_LAMP_RED = 139;
    static constexpr int BMP_SPLASH = 159;
    static constexpr int BMP_BACKGROUND = 168;
    static constexpr int BMP_TREE = 171;
    static constexpr int SPLASH_WIDTH = 400;
    static constexpr int SPLASH_HEIGHT = 263;

    // The picture of a bitmap id; a null pixmap for an unknown id. Drawn once
    // and cached.
    static QPixmap Bitmap(int id);
    static QIcon AppIcon();
    // Fills rect with the background picture, tiled, as every dialog and
    // screen does in its paint event.
    static void PaintBackground(QPainter& painter, const QRect& rect);

private:
    static QPixmap DrawSplash();
    static QPixmap DrawBackground();
    static QPixmap DrawTree();
    static QPixmap DrawLamp(const QColor& colour);
    static QPixmap DrawIcon(int size);
};
