#include "port_selection.h"

#include <optional>

#include "comm_error.h"
#include "error_info.h"
#include "lamp_colours.h"
#include "number_text.h"
#include "open_messages.h"

namespace {

// Runs the open sequence's steps so that a failing step records its error and the next
// step still runs.
class GoOnAfterError {
public:
    template <typename Step>
    void run(Step&& step) {
        try {
            step();
        } catch (...) {
            last_ = currentErrorInfo();
        }
    }
    void clear() { last_.reset(); }
    const std::optional<ErrorInfo>& last() const { return last_; }

private:
    std::optional<ErrorInfo> last_;
};

}  // namespace

void PortSelection::select(const QString& chosen) {
    const unsigned selection = ++selections_;
    lostPort_ = 0;  // the user's choice replaces waiting for the lost one
    // A number beyond 16 bits cannot name a port: take it as an invalid selection.
    const double typed = NumberText::leadingNumber(chosen);
    const short requested = NumberText::toInt16(typed).value_or(0);
    const short opened = OpenValidPort(port_, requested);

    // Exact comparison: "3.4" opens port 3 but is not a selection of port 3.
    if (typed != opened || opened == 0) {
        setSelectionLampsIdle();
        return;
    }
    showOpenedPort(selection);
}

void PortSelection::showOpenedPort(unsigned selection) {
    const std::optional<bool> wired = checkWiringUnlessLost();
    if (!wired || selections_ != selection)
        return;
    showWiringResult(*wired);
    port_.setDTREnable(true);
    port_.setRTSEnable(!port_.DTREnable());
    lines_.ShowInputLines();
}

std::optional<bool> PortSelection::checkWiringUnlessLost() {
    const unsigned lossesBefore = losses_;
    const bool passed = CheckPortWiring();
    if (losses_ != lossesBefore)
        return std::nullopt;  // the loss has put the lamps out already
    return passed;
}

void PortSelection::deviceLost() {
    ++losses_;
    try {
        lostPort_ = port_.CommPort();
    } catch (...) {
        lostPort_ = 0;  // not known: nothing to wait for
    }
    lostPortWentAway_ = false;
    setSelectionLampsIdle();
    view_.txtStatus().setText(QString());
}

// Only a device that went away and came back is opened again: a port that hung up but is
// still there (a tty whose far end closed) stays closed until the user chooses it. Looking
// opens nothing; a device that is back but fails to open is tried again next time.
void PortSelection::reopenIfBack() {
    if (lostPort_ == 0)
        return;
    try {
        const bool present = port_.PortPresent(lostPort_);
        lostPortWentAway_ = lostPortWentAway_ || !present;
        if (!present || !lostPortWentAway_)
            return;
    } catch (...) {
        return;
    }
    try {
        port_.setCommPort(lostPort_);
        port_.setPortOpen(true);
    } catch (...) {
        return;
    }
    lostPort_ = 0;
    GoOnAfterError configure;
    configure.run([&] { ConfigurePort(); });
    showOpenedPort(++selections_);
}

void PortSelection::setSelectionLampsIdle() {
    for (int i = 0; i <= LineIndex::Wiring; ++i)
        view_.shpIndicator(i).setBackColor(LampColours::Idle);
}

void PortSelection::showWiringResult(bool passed) {
    view_.shpIndicator(LineIndex::Wiring)
        .setBackColor(passed ? LampColours::Green : LampColours::Red);
}

short PortSelection::OpenValidPort(SerialPort& comPort, short PortNumber) {
    if (!PortNumbers::isValid(PortNumber))
        return 0;

    GoOnAfterError steps;
    steps.run([&] { comPort.setPortOpen(false); });
    steps.clear();  // a failure to close is forgotten: the open decides
    steps.run([&] { comPort.setCommPort(PortNumber); });
    steps.run([&] { comPort.setPortOpen(true); });

    if (!steps.last()) {
        steps.run([&] { ConfigurePort(); });
        return PortNumber;
    }
    const ErrorInfo error = *steps.last();
    steps.clear();
    view_.messages().showMessage(openFailureMessage(PortNumber, error));
    return 0;
}

void PortSelection::ConfigurePort() {
    if (!port_.PortOpen())
        return;
    port_.setSettings(kLineSettings);
    port_.setInputMode(0);
}

bool PortSelection::CheckPortWiring() {
    if (!port_.PortOpen())
        return false;
    port_.setSettings(kLineSettings);
    port_.setInputMode(0);
    port_.setOutput(kTestText);
    EventSleep(kEchoWaitMs);
    if (!port_.PortOpen())
        return false;  // closed while waiting
    return port_.Input() == kTestText;
}

void PortSelection::EventSleep(qint32 dwMilliseconds) {
    try {
        platform_.Sleep(dwMilliseconds > 0 ? static_cast<quint32>(dwMilliseconds) : 0);
    } catch (...) {
    }
    try {
        platform_.DoEvents();
    } catch (...) {
    }
}

void PortSelection::poll() {
    if (!port_.PortOpen()) {
        view_.txtStatus().setText(QString());
        reopenIfBack();
        return;
    }
    const std::optional<bool> wired = checkWiringUnlessLost();
    if (!wired)
        return;
    showWiringResult(*wired);
    view_.txtStatus().setText(QString::number(port_.CommEvent()));
}
