#include "output_line_control.h"

#include <stdexcept>

#include "number_text.h"

void OutputLineControl::toggleDtr() {
    port_.setDTREnable(!port_.DTREnable());
    lines_.ShowOutputLines();
}

void OutputLineControl::toggleRts() {
    port_.setRTSEnable(!port_.RTSEnable());
    lines_.ShowOutputLines();
}

short OutputLineControl::passCount() const {
    const double loops = NumberText::leadingNumber(view_.txtLoop().Text());
    if (loops > kMaxPasses)
        return kMaxPasses;
    // Below the 16-bit range is as good as any other count below one: no passes.
    return NumberText::toInt16(loops).value_or(0);
}

quint32 OutputLineControl::pauseMs() const {
    const QString text = view_.txtDelay().Text();
    const auto ms = NumberText::toInt32(NumberText::leadingNumber(text));
    if (!ms)
        throw std::overflow_error("Overflow: the delay \"" + text.left(40).toStdString() +
                                  "\" does not fit in a 32-bit number of milliseconds.");
    // A negative pause cannot be waited for; it means no pause.
    return *ms > 0 ? static_cast<quint32>(*ms) : 0;
}

void OutputLineControl::cycle() {
    const short passes = passCount();
    for (short i = 1; i <= passes; ++i) {
        port_.setRTSEnable(!port_.RTSEnable());
        port_.setDTREnable(!port_.DTREnable());
        platform_.Sleep(pauseMs());
        lines_.ShowOutputLines();
        platform_.DoEvents();
        if (stopping_)
            return;
    }
}
