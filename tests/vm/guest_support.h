#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "main_window.h"
#include "qt_platform.h"
#include "serial_port_control.h"
#include "tester.h"

// What the guest programs share: one PASS or FAIL line per check, a Quillmark wired as the
// program wires it with port 1 on a given tty, and event-loop waits.

class Report {
public:
    explicit Report(const char* mode) : mode_(mode) {}

    bool check(bool good, const QString& what, const QString& detail = {});
    // A check that shows a known fault of the code under test: told, without failing the
    // run, until the fault is fixed.
    void note(const QString& text);
    // Exit status: 0 when every check passed.
    int finish();

private:
    const char* mode_;
    int passed_ = 0;
    int failed_ = 0;
};

// Records the message boxes instead of showing them.
class ScriptedMessages : public MessageBoxes {
public:
    void showMessage(const QString& prompt) override { prompts << prompt; }
    DialogAnswer askAbortRetryIgnore(const QString& prompt, const QString& title) override {
        prompts << title + ": " + prompt;
        return DialogAnswer::Ignore;
    }
    QStringList prompts;
};

class Quillmark {
public:
    // Port 1 mapped to that tty, and no other device.
    explicit Quillmark(const QString& portOne);
    explicit Quillmark(std::shared_ptr<DeviceOpener> opener);
    ~Quillmark();
    Quillmark(const Quillmark&) = delete;
    Quillmark& operator=(const Quillmark&) = delete;

    QStringList log();
    QString topLine();
    int lamp(int index);
    int count();
    // The log, the count and the messages, for a failed check.
    QString state();

private:
    QtPlatform platform_;

public:
    ScriptedMessages messages;
    MainWindow window;
    Tester tester;
};

// Runs the event loop until the condition holds or the time is up; true if it held.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
void pumpFor(int ms);
// Runs the event loop for a while without waking it on a timer of its own.
void idleFor(int ms);
// User and system CPU time of this process, in clock ticks; -1 where it cannot be read.
long cpuTicks();

// Spread of a set of timings in milliseconds.
struct Latency {
    std::vector<double> samples;
    double percentile(double p) const;
    QString summary(const QString& unit) const;
};
