#pragma once

#include <QFont>

class QWidget;
class TwipScale;

// The fonts of the window's layout, which was drawn for a compact 8 pt dialog font.
namespace WindowFonts {

inline constexpr qreal kDialogPoints = 8.0;
inline constexpr qreal kSmallestDialogPoints = 7.0;

// Arial where installed, else a face with the same metrics.
QFont arial(qreal pointSize, bool bold);

// The platform's family at 8 pt where its labels fit their places; a wider one gives way to
// Arial's metrics.
QFont dialog(QFont platformFont, const TwipScale& scale);

// Steps the window's font down a little, no further than 7 pt, until the text of every label
// among its direct children fits on one line. A label with a font of its own is left out: the
// window's font does not change it, so measuring it would only cost a face loaded early.
void fitLabelsOnOneLine(QWidget& window);

}  // namespace WindowFonts
