#include "error_reporter.h"

void ErrorReporter::report(const QString& activity, const ErrorInfo& error, Repeats repeats) {
    const auto known = failing_.find(activity);
    const bool toldAlready = known != failing_.end() && known->second == error;
    if ((toldAlready && repeats == Repeats::ToldOnce) || boxOpen_) {
        ++suppressed_;
        return;
    }
    failing_[activity] = error;
    show(QStringLiteral("There was a problem %1.\r\n Error number: %2\r\nError description: %3")
             .arg(activity)
             .arg(error.number)
             .arg(error.description));
}

void ErrorReporter::tell(const QString& prompt) {
    if (boxOpen_) {
        ++suppressed_;
        return;
    }
    show(prompt);
}

void ErrorReporter::show(const QString& prompt) {
    boxOpen_ = true;
    try {
        view_.messages().showMessage(prompt);
    } catch (...) {
        // The box itself failed; nothing better is left to tell it with.
    }
    boxOpen_ = false;
}
