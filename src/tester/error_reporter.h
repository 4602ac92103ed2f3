#pragma once

#include <QString>
#include <map>

#include "error_info.h"
#include "tester_view.h"

// The one place where failures that no handler handles end up. Reports them in a box and
// lets the program go on, without stacking a box while one is open and without telling
// the same failure of the same handler again until that handler has once succeeded.
class ErrorReporter {
public:
    explicit ErrorReporter(TesterView& view) : view_(view) {}

    // Runs one handler; returns false when it failed.
    template <typename Handler>
    bool guard(const QString& activity, Handler&& handler) {
        try {
            handler();
        } catch (...) {
            report(activity, currentErrorInfo());
            return false;
        }
        failing_.erase(activity);
        return true;
    }

    void report(const QString& activity, const ErrorInfo& error);
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
