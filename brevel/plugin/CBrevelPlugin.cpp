#include "CBrevelPlugin.h"

#include "Brevel.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

CBrevelPlugin::CBrevelPlugin(QObject* pParent) : QObject(pParent) {}

QString CBrevelPlugin::name() const {
    return QStringLiteral("Brevel");
}

QString CBrevelPlugin::group() const {
    return QStringLiteral("Brevel");
}

QString CBrevelPlugin::toolTip() const {
    return QStringLiteral("Serial port control");
}

QString CBrevelPlugin::whatsThis() const {
    return QStringLiteral("Opens a serial port and reports each burst of received bytes "
                          "as one text in DataReceive.");
}

QString CBrevelPlugin::includeFile() const {
    return QStringLiteral("Brevel.h");
}

QIcon CBrevelPlugin::icon() const {
    // A bold "B" on a serial-connector blue, drawn rather than shipped.
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2F, 0x5D, 0x8A));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 3, 20, 16), 3, 3);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(1, 3, 20, 16), Qt::AlignCenter, QStringLiteral("B"));
    painter.end();
    return QIcon(pixmap);
}

bool CBrevelPlugin::isContainer() const {
    return false;
}

QWidget* CBrevelPlugin::createWidget(QWidget* pParent) {
    return new Brevel(pParent);
}

QString CBrevelPlugin::domXml() const {
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"Brevel\" name=\"brevel\"/>\n"
                          "</ui>\n");
}
