#include "line_settings.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "standard_speeds.h"

namespace {

// The letters and texts of the Settings text, one table each, read both ways.
struct ParityLetter {
    LineSettings::Parity parity;
    QLatin1StringView letter;
};
constexpr std::array kParityLetters{
    ParityLetter{LineSettings::Parity::None, QLatin1StringView("n")},
    ParityLetter{LineSettings::Parity::Even, QLatin1StringView("e")},
    ParityLetter{LineSettings::Parity::Odd, QLatin1StringView("o")},
    ParityLetter{LineSettings::Parity::Mark, QLatin1StringView("m")},
    ParityLetter{LineSettings::Parity::Space, QLatin1StringView("s")},
};

struct StopBitsText {
    LineSettings::StopBits stopBits;
    QLatin1StringView text;
    double bits;
};
constexpr std::array kStopBitsTexts{
    StopBitsText{LineSettings::StopBits::One, QLatin1StringView("1"), 1.0},
    StopBitsText{LineSettings::StopBits::OneAndHalf, QLatin1StringView("1.5"), 1.5},
    StopBitsText{LineSettings::StopBits::Two, QLatin1StringView("2"), 2.0},
};

// The row whose `key` member equals `value`; the tables cover every enumerator.
template <typename Table, typename Key, typename Value>
const auto* rowWhere(const Table& table, Key key, const Value& value) {
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const auto& row) { return row.*key == value; });
    return it == table.end() ? nullptr : &*it;
}

std::optional<LineSettings::Parity> parseParity(const QString& p) {
    const auto* row = rowWhere(kParityLetters, &ParityLetter::letter, p.toLower());
    return row ? std::optional(row->parity) : std::nullopt;
}

std::optional<LineSettings::StopBits> parseStopBits(const QString& s) {
    const auto* row = rowWhere(kStopBitsTexts, &StopBitsText::text, s);
    return row ? std::optional(row->stopBits) : std::nullopt;
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
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(rowWhere(kParityLetters, &ParityLetter::parity, parity)->letter)
        .arg(dataBits)
        .arg(rowWhere(kStopBitsTexts, &StopBitsText::stopBits, stopBits)->text);
}

double LineSettings::bitsPerCharacter() const {
    const double stop = rowWhere(kStopBitsTexts, &StopBitsText::stopBits, stopBits)->bits;
    return 1.0 + dataBits + (parity == Parity::None ? 0 : 1) + stop;
}
