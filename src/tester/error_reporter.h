#pragma once

#include <QString>
#include <map>

#include "error_info.h"
#include "tester_view.h"

// The one place where failures that no handler handles end up. Reports them in a box and
// lets the program go on, without stacking a box while one is open. A handler that runs on
// its own (a timer's tick, a port event) does not tell the same failure again until it has
// once succeeded; the user's own click is always answered.
class ErrorReporter {
public:
    enum class Repeats { ToldOnce, ToldEveryTime };

    explicit ErrorReporter(TesterView& view) : view_(view) {}

    // Runs one handler; returns false when it failed.
    template <typename Handler>
    bool guard(const QString& activity, Handler&& handler, Repeats repeats = Repeats::ToldOnce) {
        try {
            handler();
        } catch (...) {
            report(activity, currentErrorInfo(), repeats);
            return false;
        }
        failing_.erase(activity);
        return true;
    }

    void report(const QString& activity, const ErrorInfo& error,
                Repeats repeats = Repeats::ToldOnce);
    // Tells something once, unless a box is open already.
    void tell(const QString& prompt);
    // Forgets what was told, so that the next failure of any handler is told again.
    void forgetReported() { failing_.clear(); }

    int suppressedReports() const { return suppressed_; }

private:
    void show(const QString& prompt);

    TesterView& view_;
    std::map<QString, ErrorInfo> failing_;
    bool boxOpen_ = false;
    int suppressed_ = 0;
};
