#pragma once

#include <QApplication>
#include <functional>

#include "error_info.h"

// The last line of defence: a failure that escapes any handler is reported and the
// program goes on running.
class GuardedApplication : public QApplication {
public:
    using Reporter = std::function<void(const ErrorInfo&)>;

    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    Reporter reporter_;
};
