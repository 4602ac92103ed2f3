#pragma once

#include <QByteArray>
#include <vector>

// Undoes the marking a tty applies to input when PARMRK is set without IGNPAR and
// without ISTRIP: a byte received with a parity or framing error arrives as \377 \0 X, a
// break as \377 \0 \0 and a genuine \377 as \377 \377. A marker may be split across reads,
// so the decoder keeps its place between calls.
class ParmrkDecoder {
public:
    enum class Mark { Break, BadByte };

    explicit ParmrkDecoder(char replacement = '?') : replacement_(replacement) {}

    // Appends the data bytes of `input` to `data` (a bad byte as the replacement character,
    // a break as nothing) and the markers found to `marks`, both in arrival order.
    void decode(const char* input, qsizetype size, QByteArray& data, std::vector<Mark>& marks);

private:
    enum class State { Plain, AfterEscape, AfterEscapeZero };

    const char replacement_;
    State state_ = State::Plain;
};
