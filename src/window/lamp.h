#pragma once

#include <QColor>
#include <QWidget>

enum class LampShape { RoundedRectangle, Circle };

// A lamp: a filled shape whose colour is its back colour, held as the 24-bit value
// 0x00BBGGRR that the tester logic writes (red in the low byte).
class Lamp : public QWidget {
    Q_OBJECT

public:
    using Shape = LampShape;

    Lamp(Shape shape, int backColor, QWidget* parent = nullptr);

    Shape shape() const { return shape_; }
    int backColor() const { return backColor_; }
    void setBackColor(int backColor);

    // The colour a 0x00BBGGRR value stands for; bits above the low 24 are ignored.
    static QColor toQColor(int bgr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_;
    int backColor_;
};
