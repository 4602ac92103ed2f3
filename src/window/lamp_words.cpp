#include "lamp_words.h"

#include "lamp_colours.h"

namespace {

QString lineWords(int colour) {
    switch (colour) {
        case LampColours::Red:
            return QStringLiteral("on");
        case LampColours::Green:
            return QStringLiteral("off");
        default:
            return {};
    }
}

QString wiringWords(int colour) {
    switch (colour) {
        case LampColours::Green:
            return QStringLiteral("wiring check passed");
        case LampColours::Red:
            return QStringLiteral("wiring check failed");
        default:
            return {};
    }
}

}  // namespace

QString lampStateWords(LampMeaning meaning, int colour) {
    QString words;
    switch (meaning) {
        case LampMeaning::Line:
            words = lineWords(colour);
            break;
        case LampMeaning::Wiring:
            words = wiringWords(colour);
            break;
        case LampMeaning::LatchOff:
            if (colour == LampColours::Green)
                words = QStringLiteral("read off a moment ago");
            break;
        case LampMeaning::LatchOn:
            if (colour == LampColours::Red)
                words = QStringLiteral("read on a moment ago");
            break;
    }
    if (!words.isEmpty())
        return words;
    if (colour == LampColours::Idle || colour == LampColours::LatchNotIdle)
        return QStringLiteral("idle");
    return QStringLiteral("colour #%1").arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

QString lampDescription(const QString& stateWords, const QString& seenAs) {
    return seenAs.isEmpty() ? stateWords : stateWords + QStringLiteral("; seen: ") + seenAs;
}

QString lampToolTip(const QString& name, const QString& stateWords, const QString& seenAs) {
    const QString state = name + QStringLiteral(": ") + stateWords;
    return seenAs.isEmpty() ? state : state + QStringLiteral("\nSeen: ") + seenAs;
}
