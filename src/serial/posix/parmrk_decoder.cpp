#include "parmrk_decoder.h"

namespace {
constexpr char kEscape = '\xFF';
}

void ParmrkDecoder::decode(const char* input, qsizetype size, QByteArray& data,
                           std::vector<Mark>& marks) {
    for (qsizetype i = 0; i < size; ++i) {
        const char c = input[i];
        switch (state_) {
            case State::Plain:
                if (c == kEscape)
                    state_ = State::AfterEscape;
                else
                    data.append(c);
                break;
            case State::AfterEscape:
                if (c == '\0') {
                    state_ = State::AfterEscapeZero;
                    break;
                }
                // \377 \377 is an escaped \377. Anything else cannot follow a marker start;
                // keep both bytes rather than lose data.
                data.append(kEscape);
                if (c != kEscape)
                    data.append(c);
                state_ = State::Plain;
                break;
            case State::AfterEscapeZero:
                // A bad byte whose value is 0 looks exactly like a break; the kernel gives no
                // way to tell them apart, so it counts as a break.
                if (c == '\0') {
                    marks.push_back(Mark::Break);
                } else {
                    data.append(replacement_);
                    marks.push_back(Mark::BadByte);
                }
                state_ = State::Plain;
                break;
        }
    }
}
