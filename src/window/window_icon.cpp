#include "window_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIconSize = 32;

QPainterPath trapezoid(qreal top, qreal bottom, qreal topLeft, qreal topRight, qreal inset) {
    QPainterPath path;
    path.moveTo(topLeft, top);
    path.lineTo(topRight, top);
    path.lineTo(topRight - inset, bottom);
    path.lineTo(topLeft + inset, bottom);
    path.closeSubpath();
    return path;
}

void drawConnector(QPainter& painter) {
    // Metal shell, then the dark insulator that holds the pins.
    painter.setPen(QPen(QColor(60, 60, 70), 1.0));
    painter.setBrush(QColor(190, 195, 205));
    painter.drawPath(trapezoid(10.5, 27.5, 1.5, 30.5, 3.0));
    painter.setBrush(QColor(40, 45, 60));
    painter.drawPath(trapezoid(13.5, 24.5, 4.5, 27.5, 2.5));

    // Five pins above four, as on a nine-pin plug.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 190, 60));
    for (int pin = 0; pin < 5; ++pin)
        painter.drawEllipse(QPointF(8.0 + pin * 4.0, 16.5), 1.4, 1.4);
    for (int pin = 0; pin < 4; ++pin)
        painter.drawEllipse(QPointF(10.0 + pin * 4.0, 21.5), 1.4, 1.4);
}

void drawLamp(QPainter& painter) {
    painter.setPen(QPen(QColor(20, 60, 20), 1.0));
    painter.setBrush(QColor(0, 220, 0));
    painter.drawEllipse(QPointF(25.5, 5.5), 4.5, 4.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 255, 200));
    painter.drawEllipse(QPointF(24.0, 4.0), 1.3, 1.3);
}

}  // namespace

QPixmap drawWindowIconPixmap() {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawConnector(painter);
    drawLamp(painter);
    return pixmap;
}

QIcon makeWindowIcon() {
    return QIcon(drawWindowIconPixmap());
}
