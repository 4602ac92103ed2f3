#include "guest_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "port_map.h"
#include "system_device.h"

bool Report::check(bool good, const QString& what, const QString& detail) {
    std::printf("%s: %s%s\n", good ? "PASS" : "FAIL", qPrintable(what),
                good || detail.isEmpty() ? "" : qPrintable(" (" + detail + ")"));
    std::fflush(stdout);
    (good ? passed_ : failed_)++;
    return good;
}

void Report::note(const QString& text) {
    std::printf("NOTE: %s\n", qPrintable(text));
    std::fflush(stdout);
}

int Report::finish() {
    std::printf("%s mode: %d checks passed, %d checks failed\n", mode_, passed_, failed_);
    return failed_ == 0 ? 0 : 1;
}

namespace {

std::shared_ptr<DeviceOpener> portOneOn(const QString& device) {
    PortMap map;
    map.map(1, device);
    return std::make_shared<MappedDeviceOpener>(
        std::move(map),
        std::make_shared<SystemSerialPorts>(SystemFolders{}, SystemSerialPorts::Scan::None));
}

}  // namespace

Quillmark::Quillmark(const QString& portOne) : Quillmark(portOneOn(portOne)) {}

Quillmark::Quillmark(std::shared_ptr<DeviceOpener> opener)
    : window(std::move(opener), nullptr), tester(window, window.comPort(), platform_) {
    window.setEvents(&tester);
    window.setMessages(&messages);
}

Quillmark::~Quillmark() {
    window.setEvents(nullptr);
}

QStringList Quillmark::log() {
    QStringList lines;
    for (int i = 0; i < window.lstStatus().ListCount(); ++i)
        lines << window.lstStatus().List(i);
    return lines;
}

QString Quillmark::topLine() {
    return window.lstStatus().ListCount() > 0 ? window.lstStatus().List(0) : "";
}

int Quillmark::lamp(int index) {
    return window.shpIndicator(index).BackColor();
}

int Quillmark::count() {
    return window.txtCount().Text().toInt();
}

QString Quillmark::state() {
    QStringList lines = log();
    if (lines.size() > 12)
        lines = lines.mid(0, 12) << QStringLiteral("... %1 lines").arg(lines.size());
    return QStringLiteral("log [%1], count %2, messages [%3]")
        .arg(lines.join(" | "), window.txtCount().Text(),
             messages.prompts.join(" | ").replace("\r\n", "\\r\\n"));
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // keeps the loop from sleeping past the deadline
    wake.start(1);
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long cpuTicks() {
    QFile stat("/proc/self/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(stat.readAll());
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QStringList fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLong() + fields[12].toLong() : -1;
}

double Latency::percentile(double p) const {
    if (samples.empty())
        return 0;
    std::vector<double> sorted = samples;
    std::sort(sorted.begin(), sorted.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

QString Latency::summary(const QString& unit) const {
    if (samples.empty())
        return "no samples";
    return QStringLiteral("min %1 ms, p50 %2 ms, p99 %3 ms, max %4 ms over %5 %6")
        .arg(percentile(0), 0, 'f', 2)
        .arg(percentile(50), 0, 'f', 2)
        .arg(percentile(99), 0, 'f', 2)
        .arg(percentile(100), 0, 'f', 2)
        .arg(samples.size())
        .arg(unit);
}
