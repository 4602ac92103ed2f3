#pragma once

#include <QStringList>
#include <array>
#include <deque>
#include <functional>
#include <optional>

#include "comm_error.h"
#include "lamp_colours.h"
#include "tester_view.h"

// Plain stand-ins for the window's elements. Each can be told to fail, so tests can reach
// the error paths of the handlers.
class FailurePoint {
public:
    // The next `times` uses throw CommError(number, description); times < 0: every use.
    void failWith(int number, const QString& description, int times = 1) {
        failure_ = CommError(number, description);
        remaining_ = times;
    }
    void heal() { remaining_ = 0; }
    void check() const {
        if (remaining_ == 0 || !failure_)
            return;
        if (remaining_ > 0)
            --remaining_;
        throw *failure_;
    }

private:
    std::optional<CommError> failure_;
    mutable int remaining_ = 0;
};

class FakeLamp : public LampElement, public FailurePoint {
public:
    explicit FakeLamp(int colour = LampColours::Idle) : colour_(colour) {}
    int BackColor() const override { return colour_; }
    void setBackColor(int colour) override {
        check();
        colour_ = colour;
    }

private:
    int colour_;
};

class FakeText : public TextElement, public FailurePoint {
public:
    explicit FakeText(QString text = {}) : text_(std::move(text)) {}
    QString Text() const override {
        check();
        return text_;
    }
    void setText(const QString& text) override {
        check();
        text_ = text;
    }

private:
    QString text_;
};

class FakeTimer : public TimerElement {
public:
    bool Enabled() const override { return enabled_; }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        if (enabled)
            ++starts;
    }
    int starts = 0;

private:
    bool enabled_ = false;
};

class FakeCheck : public CheckElement, public FailurePoint {
public:
    int Value() const override {
        check();
        return value;
    }
    int value = 1;
};

class FakeList : public ListElement, public FailurePoint {
public:
    int ListCount() const override { return static_cast<int>(lines.size()); }
    QString List(int index) const override { return lines.at(index); }
    void AddItemAtTop(const QString& line) override {
        check();
        lines.prepend(line);
    }
    void RemoveItem(int index) override { lines.removeAt(index); }
    void Clear() override { lines.clear(); }
    QStringList lines;
};

// Message boxes whose answers the test scripts; records every box shown.
class ScriptedMessages : public MessageBoxes {
public:
    struct Shown {
        QString prompt;
        QString title;  // empty: the application title
    };

    void showMessage(const QString& prompt) override {
        shown.push_back({prompt, {}});
        if (onShow)
            onShow();
    }
    DialogAnswer askAbortRetryIgnore(const QString& prompt, const QString& title) override {
        shown.push_back({prompt, title});
        if (onShow)
            onShow();
        if (answers.empty())
            return DialogAnswer::Abort;
        const DialogAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::deque<DialogAnswer> answers;
    std::vector<Shown> shown;
    std::function<void()> onShow;  // runs while the box is "open"
};

class FakeView : public TesterView {
public:
    FakeView();

    TextElement& Combo1() override { return combo; }
    TextElement& txtStatus() override { return status; }
    TextElement& txtLoop() override { return loop; }
    TextElement& txtDelay() override { return delay; }
    TextElement& txtCount() override { return count; }
    CheckElement& chkIgnoreRing() override { return ignoreRing; }
    ListElement& lstStatus() override { return list; }
    LampElement& shpIndicator(int i) override { return indicator.at(i); }
    LampElement& shpLatch(int i) override { return latch.at(i); }
    LampElement& shpLatchNot(int i) override { return latchNot.at(i); }
    LampElement& shpRTS() override { return rts; }
    LampElement& shpDTR() override { return dtr; }
    TimerElement& timLatch(int i) override { return latchTimer.at(i); }
    TimerElement& timLatchNot(int i) override { return latchNotTimer.at(i); }
    MessageBoxes& messages() override { return boxes; }

    FakeText combo{"1"}, status, loop{"100"}, delay{"30"}, count{"0"};
    FakeCheck ignoreRing;
    FakeList list;
    std::array<FakeLamp, 4> indicator;
    std::array<FakeLamp, 3> latch;
    std::array<FakeLamp, 3> latchNot{FakeLamp(LampColours::LatchNotIdle),
                                     FakeLamp(LampColours::LatchNotIdle),
                                     FakeLamp(LampColours::LatchNotIdle)};
    FakeLamp rts, dtr;
    std::array<FakeTimer, 3> latchTimer, latchNotTimer;
    ScriptedMessages boxes;
};
