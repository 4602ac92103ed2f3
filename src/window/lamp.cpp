#include "lamp.h"

#include <QPainter>
#include <algorithm>

Lamp::Lamp(Shape shape, int backColor, QWidget* parent)
    : QWidget(parent), shape_(shape), backColor_(backColor) {}

void Lamp::setBackColor(int backColor) {
    if (backColor == backColor_)
        return;
    backColor_ = backColor;
    updateWords();
    update();
}

void Lamp::describeAs(const QString& name, LampMeaning meaning) {
    setAccessibleName(name);
    meaning_ = meaning;
    updateWords();
}

void Lamp::setSeenAs(const QString& seenAs) {
    if (seenAs == seenAs_)
        return;
    seenAs_ = seenAs;
    updateWords();
}

void Lamp::updateWords() {
    if (!meaning_)
        return;
    const QString words = lampStateWords(*meaning_, backColor_);
    setAccessibleDescription(lampDescription(words, seenAs_));
    setToolTip(lampToolTip(accessibleName(), words, seenAs_));
}

QColor Lamp::toQColor(int bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(toQColor(backColor_));
    // Half a pixel in, so that the one-pixel outline lies on whole pixels.
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (shape_ == Shape::Circle) {
        const qreal side = std::min(box.width(), box.height());
        QRectF circle(0, 0, side, side);
        circle.moveCenter(box.center());
        painter.drawEllipse(circle);
    } else {
        const qreal radius = std::min(box.width(), box.height()) / 4.0;
        painter.drawRoundedRect(box, radius, radius);
    }
    if (hasFocus()) {  // reached by keyboard: a dotted frame says where the focus is
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
    }
}
