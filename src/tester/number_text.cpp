#include "number_text.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace NumberText {

namespace {

bool isBlank(QChar c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;

    const qsizetype start = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128)
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;

    // from_chars reads the same in every locale (strtod follows the user's decimal comma); it
    // takes no plus sign.
    const qsizetype digitsStart = text[start] == '+' ? start + 1 : start;
    const QByteArray number = text.mid(digitsStart, i - digitsStart).toLatin1();
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(number.constData(), number.constData() + number.size(), value);
    if (error == std::errc::result_out_of_range || !std::isfinite(value))
        throw std::overflow_error("Overflow: the number in \"" + text.left(40).toStdString() +
                                  "\" is too large.");
    return value;
}

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-half-even unless changed.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    return rounded;
}

std::optional<short> toInt16(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= std::numeric_limits<short>::min() && r <= std::numeric_limits<short>::max()))
        return std::nullopt;
    return static_cast<short>(r);
}

std::optional<qint32> toInt32(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= std::numeric_limits<qint32>::min() && r <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(r);
}

QString formatGeneral(double value) {
    if (value == 0)
        return QStringLiteral("0");  // also for -0
    if (std::trunc(value) == value && std::fabs(value) < 1e15)
        return QString::number(value, 'f', 0);
    return QString::number(value, 'g', 15).toUpper();
}

}  // namespace NumberText
