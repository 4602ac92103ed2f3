#include "line_settings.h"

#include <QStringList>

#include "standard_speeds.h"

namespace {

std::optional<LineSettings::Parity> parseParity(const QString& p) {
    const QString lower = p.toLower();
    if (lower == "n")
        return LineSettings::Parity::None;
    if (lower == "e")
        return LineSettings::Parity::Even;
    if (lower == "o")
        return LineSettings::Parity::Odd;
    if (lower == "m")
        return LineSettings::Parity::Mark;
    if (lower == "s")
        return LineSettings::Parity::Space;
    return std::nullopt;
}

std::optional<LineSettings::StopBits> parseStopBits(const QString& s) {
    if (s == "1")
        return LineSettings::StopBits::One;
    if (s == "1.5")
        return LineSettings::StopBits::OneAndHalf;
    if (s == "2")
        return LineSettings::StopBits::Two;
    return std::nullopt;
}

}  // namespace

std::optional<LineSettings> LineSettings::parse(const QString& text) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4)
        return std::nullopt;

    LineSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || !isStandardSpeed(s.baud))
        return std::nullopt;

    const auto parity = parseParity(parts[1].trimmed());
    if (!parity)
        return std::nullopt;
    s.parity = *parity;

    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return std::nullopt;

    const auto stop = parseStopBits(parts[3].trimmed());
    if (!stop)
        return std::nullopt;
    s.stopBits = *stop;
    // 1.5 stop bits exist only with 5 data bits on a UART; termios cannot set them otherwise.
    if (s.stopBits == StopBits::OneAndHalf && s.dataBits != 5)
        return std::nullopt;
    return s;
}

QString LineSettings::toText() const {
    static const char* const parityLetters[] = {"n", "e", "o", "m", "s"};
    static const char* const stopTexts[] = {"1", "1.5", "2"};
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(parityLetters[static_cast<int>(parity)])
        .arg(dataBits)
        .arg(stopTexts[static_cast<int>(stopBits)]);
}

double LineSettings::bitsPerCharacter() const {
    const double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
    return 1.0 + dataBits + (parity == Parity::None ? 0 : 1) + stop;
}
