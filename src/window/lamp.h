#pragma once

#include <QColor>
#include <QWidget>
#include <optional>

#include "lamp_words.h"

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

    // Names the lamp for assistive technology; from then on its accessible description and
    // its tooltip say in words what its colour means.
    void describeAs(const QString& name, LampMeaning meaning);
    // How faithfully the open port sees the lamp's line, in words; empty when none is open.
    void setSeenAs(const QString& seenAs);

    // The colour a 0x00BBGGRR value stands for; bits above the low 24 are ignored.
    static QColor toQColor(int bgr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateWords();

    Shape shape_;
    int backColor_;
    std::optional<LampMeaning> meaning_;
    QString seenAs_;
};
