#include "window_fonts.h"

#include <QFontMetrics>
#include <QLabel>

#include "twips.h"

namespace WindowFonts {

namespace {
const QString kWidestLabel = QStringLiteral("Sensor 2 (CTS)");
constexpr int kWidestLabelTwips = 1185;
constexpr qreal kStepPoints = 0.25;
}  // namespace

QFont arial(qreal pointSize, bool bold) {
    QFont font;
    font.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont dialog(QFont platformFont, const TwipScale& scale) {
    platformFont.setPointSizeF(kDialogPoints);
    const int widestLabelPx = scale.toPixelsX(kWidestLabelTwips);
    if (QFontMetrics(platformFont).horizontalAdvance(kWidestLabel) > widestLabelPx)
        platformFont.setFamilies(arial(kDialogPoints, false).families());
    return platformFont;
}

void fitLabelsOnOneLine(QWidget& window) {
    const auto allFit = [&window] {
        for (const QLabel* label : window.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (!label->testAttribute(Qt::WA_SetFont) &&
                label->fontMetrics().horizontalAdvance(label->text()) > label->width())
                return false;
        return true;
    };
    QFont smaller = window.font();
    while (!allFit() && smaller.pointSizeF() > kSmallestDialogPoints) {
        smaller.setPointSizeF(smaller.pointSizeF() - kStepPoints);
        window.setFont(smaller);
    }
}

}  // namespace WindowFonts
