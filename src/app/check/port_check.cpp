#include "port_check.h"

#include <QCoreApplication>
#include <QMap>
#include <QStringList>
#include <algorithm>
#include <thread>

#include "comm_event.h"
#include "port_selection.h"
#include "serial_port_control.h"

namespace {

using namespace std::chrono;
using namespace InputLines;

// How long a follower may take before the check calls it not wired.
constexpr milliseconds kFollowTimeout{500};
// How long the check watches for inputs that should not move, at the least.
constexpr milliseconds kSettle{30};

double msBetween(const EventStamp& from, const EventStamp& to) {
    return duration<double, std::milli>(to.steady - from.steady).count();
}

QString visible(const QString& text) {
    QString shown;
    for (QChar c : text)
        shown +=
            c.isPrint() ? QString(c) : QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
    return shown.isEmpty() ? QStringLiteral("nothing") : '"' + shown + '"';
}

QString eventCount(int count) {
    return count == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(count);
}

}  // namespace

PortCheck::PortCheck(SerialPortControl& port, PlugProfile plug, CycleRequest cycles)
    : port_(port), plug_(std::move(plug)), cycles_(cycles) {}

// Runs the event loop until `done` says so or `time` is up; false when time ran out.
template <typename Done>
bool PortCheck::pumpEventsUntil(Done&& done, milliseconds time) {
    const auto deadline = steady_clock::now() + time;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (stopSignal_ != 0)
            throw CheckStopped{stopSignal_};
        if (done())
            return true;
        if (steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(microseconds(200));
    }
}

void PortCheck::pumpEventsFor(milliseconds time) {
    pumpEventsUntil([] { return false; }, time);
}

void PortCheck::startRecording() {
    QObject::connect(&port_, &SerialPortControl::OnComm, &port_, [this] {
        events_.push_back({port_.CommEvent(), 0, port_.CommEventStamp()});
    });
}

void PortCheck::run(CheckReport& report) {
    port_.setSettings(PortSelection::kLineSettings);
    port_.setInputMode(0);
    // As a selection in the window leaves the port.
    port_.setDTREnable(true);
    port_.setRTSEnable(false);
    checkWiring();
    checkDrive(Output::Dtr, false);
    checkDrive(Output::Dtr, true);
    checkDrive(Output::Rts, true);
    checkDrive(Output::Rts, false);
    if (cycles_.passes > 0)
        checkCycles();
    checkLineErrors();
    // As the check leaves it: a counter that proved no counter while the lines moved has
    // lowered its line's grade, and the rows were judged by that grade.
    report.fidelity = port_.Fidelity();
    report.rows = std::move(rows_);
    report.events = events_;
}

void PortCheck::checkWiring() {
    const EventStamp sent = EventStamp::now();
    port_.setOutput(PortSelection::kTestText);
    pumpEventsFor(milliseconds(PortSelection::kEchoWaitMs));
    const QString echo = port_.Input();
    const bool passed = echo == PortSelection::kTestText;
    rows_.push_back({QStringLiteral("wiring"), passed, visible(PortSelection::kTestText),
                     visible(echo), msBetween(sent, EventStamp::now()),
                     passed ? QString() : QStringLiteral("TX and RX are not looped back")});
}

void PortCheck::checkDrive(Output output, bool on) {
    const unsigned followers = followersOf(output);
    const unsigned before = levels();
    const std::size_t firstEvent = events_.size();
    const EventStamp driven = EventStamp::now();
    setOutput(output, on);
    const unsigned wanted = on ? followers : 0;
    const bool followed =
        pumpEventsUntil([&] { return (levels() & followers) == wanted; }, kFollowTimeout);
    const EventStamp levelsSeen = EventStamp::now();
    pumpEventsFor(settleTime());

    std::vector<EventStamp> firstOf(kAll.size());
    const unsigned changed = (levels() ^ before) | linesWithEvents(firstEvent, &firstOf);
    double ms = -1;
    for (std::size_t i = 0; i < kAll.size(); ++i) {
        if (!(followers & changed & kAll[i]) || !followed)
            continue;
        // A change the control reports has its event's time; a rise of DSR or RI has none.
        const bool hasEvent =
            reportsEdgeTo(kAll[i], on) && firstOf[i].steady != EventStamp{}.steady;
        ms = std::max(ms, msBetween(driven, hasEvent ? firstOf[i] : levelsSeen));
    }
    const QString name =
        QStringLiteral("%1 %2").arg(output == Output::Dtr ? "DTR" : "RTS", on ? "on" : "off");
    const bool passed = followed && changed == followers;
    QString note;
    if (!passed)
        note =
            QStringLiteral("expected %1 to follow; %2 moved").arg(names(followers), names(changed));
    rows_.push_back({name, passed, names(followers), names(changed), ms, note});
}

void PortCheck::checkCycles() {
    const bool dtrStart = port_.DTREnable();
    const bool rtsStart = port_.RTSEnable();
    const std::size_t firstEvent = events_.size();
    const EventStamp started = EventStamp::now();
    for (int pass = 0; pass < cycles_.passes; ++pass) {
        setOutput(Output::Rts, !port_.RTSEnable());
        setOutput(Output::Dtr, !port_.DTREnable());
        pumpEventsFor(milliseconds(cycles_.delayMs));
    }
    pumpEventsFor(settleTime());
    const double ms = msBetween(started, EventStamp::now());

    for (Line line : kAll) {
        const bool followsDtr = plug_.dtrFollowers & line;
        const bool followsRts = plug_.rtsFollowers & line;
        int expected = 0;
        if (followsDtr || followsRts) {
            // The passes alternate the level from where it started; the control reports
            // either every edge or only the falls.
            const bool startOn = followsDtr ? dtrStart : rtsStart;
            const int falls = startOn ? (cycles_.passes + 1) / 2 : cycles_.passes / 2;
            expected = reportsEdgeTo(line, true) ? cycles_.passes : falls;
        }
        const int seen = eventsOn(line, firstEvent);
        const bool everyEdge = fidelityOf(port_.Fidelity(), line).grade == FidelityGrade::EveryEdge;
        bool passed = seen == expected;
        QString note;
        if (!everyEdge && expected > 0) {
            // Pulses may merge between the driver's reports: some, never more, is all it promises.
            passed = seen > 0 && seen <= expected;
            note = QStringLiteral("the driver cannot promise every edge (%1)")
                       .arg(fidelityWords(fidelityOf(port_.Fidelity(), line)));
        }
        rows_.push_back({QStringLiteral("cycle %1").arg(name(line)), passed, eventCount(expected),
                         eventCount(seen), ms, note});
    }
}

void PortCheck::checkLineErrors() {
    QMap<short, int> errors;
    for (const HistoryEntry& event : events_)
        if (event.code >= CommEvents::Break)
            ++errors[event.code];
    QStringList seen;
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        seen << QStringLiteral("%1 x%2").arg(it.key()).arg(it.value());
    rows_.push_back({QStringLiteral("line errors"), errors.isEmpty(), QStringLiteral("none"),
                     seen.isEmpty() ? QStringLiteral("none") : seen.join(QStringLiteral(", ")), -1,
                     errors.isEmpty()
                         ? QString()
                         : QStringLiteral("breaks or line errors came during the check")});
}

unsigned PortCheck::levels() const {
    const ModemInputs now{port_.DSRHolding(), port_.CTSHolding(), port_.CDHolding(),
                          port_.RIHolding()};
    const auto bit = [](bool on, Line line) { return on ? unsigned(line) : 0u; };
    return bit(now.dsr, Dsr) | bit(now.cts, Cts) | bit(now.cd, Cd) | bit(now.ring, Ri);
}

unsigned PortCheck::followersOf(Output output) const {
    return output == Output::Dtr ? plug_.dtrFollowers : plug_.rtsFollowers;
}

void PortCheck::setOutput(Output output, bool on) {
    if (output == Output::Dtr)
        port_.setDTREnable(on);
    else
        port_.setRTSEnable(on);
}

// Long enough to see a line that is only looked at now and then.
milliseconds PortCheck::settleTime() const {
    const PortFidelity fidelity = port_.Fidelity();
    int longest = 0;
    for (Line line : kAll)
        longest = std::max(longest, fidelityOf(fidelity, line).intervalMs);
    return std::max(kSettle, milliseconds(2 * longest + 10));
}

unsigned PortCheck::linesWithEvents(std::size_t from, std::vector<EventStamp>* firstOf) const {
    unsigned lines = kNone;
    for (std::size_t i = from; i < events_.size(); ++i) {
        const unsigned line = lineOfEvent(events_[i].code);
        if (line == kNone)
            continue;
        if (firstOf && !(lines & line)) {
            const auto index = std::find(kAll.begin(), kAll.end(), line) - kAll.begin();
            (*firstOf)[static_cast<std::size_t>(index)] = events_[i].stamp;
        }
        lines |= line;
    }
    return lines;
}

int PortCheck::eventsOn(Line line, std::size_t from) const {
    return static_cast<int>(std::count_if(
        events_.begin() + static_cast<std::ptrdiff_t>(from), events_.end(),
        [line](const HistoryEntry& event) { return lineOfEvent(event.code) == line; }));
}
