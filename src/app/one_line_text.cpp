#include "one_line_text.h"

#include <algorithm>

namespace {

bool isControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

}  // namespace

QString oneLineText(const QString& text) {
    if (!hasControlCharacter(text))
        return text;
    QString out;
    for (const QChar c : text) {
        if (!isControl(c))
            out += c;
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return out;
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), isControl);
}
