#include "serial_port_control.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include "comm_event.h"

// Forwards a device's reports into the control's queue. One per opened device, tagged with
// its generation so that a late report from a closed device cannot close a newer one.
class SerialPortControl::Sink : public DeviceEventSink {
public:
    Sink(SerialPortControl& control, quint64 generation)
        : control_(control), generation_(generation) {}

    void portEventAt(short code, const EventStamp& when) override {
        if (control_.queue_.push({code, 0, when}))
            control_.requestDelivery();
    }

    void deviceLost(const CommError& reason) override {
        {
            std::lock_guard lock(control_.lostMutex_);
            control_.lostReason_ = std::make_unique<CommError>(reason);
        }
        control_.lostGeneration_ = generation_;
        control_.queue_.push({0, generation_});
        control_.requestDelivery();
    }

private:
    SerialPortControl& control_;
    const quint64 generation_;
};

SerialPortControl::SerialPortControl(std::shared_ptr<DeviceOpener> opener, QObject* parent,
                                     std::size_t eventQueueCapacity)
    : QObject(parent), opener_(std::move(opener)), queue_(eventQueueCapacity) {}

SerialPortControl::~SerialPortControl() {
    closeDevice();
}

bool SerialPortControl::PortOpen() const {
    return device_ != nullptr && lostGeneration_.load() != generation_;
}

void SerialPortControl::setPortOpen(bool open) {
    if (!open) {
        const bool wasOpen = device_ != nullptr;
        closeDevice();
        if (wasOpen)
            emit portOpenChanged();
        return;
    }
    if (device_) {
        if (PortOpen())
            throw CommError(
                CommErrors::PortAlreadyOpen,
                QStringLiteral("Com %1 is already open in this program.").arg(commPort_));
        closeDevice();  // lost, waiting to be reported: make way for a fresh open
    }
    // Every attempt gets a generation of its own, so a loss reported by a device whose
    // open then failed cannot mark a later device lost.
    auto sink = std::make_unique<Sink>(*this, ++generation_);
    device_ = opener_->open(commPort_, OpenRequest{settings_, dtr_, rts_}, *sink);
    sink_ = std::move(sink);
    history_.restart(EventStamp::now());
    knownInputs_ = {};  // until the first read
    knownAt_ = {};
    history_.add(kOutputsDriven, history_.openedAt(), knownLevels());
    emit portOpenChanged();
}

PortFidelity SerialPortControl::Fidelity() const {
    return PortOpen() ? device_->fidelity() : PortFidelity{};
}

void SerialPortControl::closeDevice() {
    device_.reset();  // stops the device's worker before the sink goes
    sink_.reset();
    queue_.clear();  // events of a closed port are not delivered
}

void SerialPortControl::setCommPort(short port) {
    if (port < 1)
        throw invalidPortNumber(port);
    if (PortOpen())
        throw CommError(CommErrors::PortNumberLocked,
                        QStringLiteral("The port number cannot change while Com %1 is open. "
                                       "Close the port first.")
                            .arg(commPort_));
    commPort_ = port;
}

void SerialPortControl::setSettings(const QString& settings) {
    const auto parsed = LineSettings::parse(settings);
    if (!parsed)
        throw CommError(CommErrors::InvalidPropertyValue,
                        QStringLiteral("\"%1\" is not a valid port setting. Use baud,parity,data "
                                       "bits,stop bits, for example \"9600,n,8,1\".")
                            .arg(settings));
    if (PortOpen())
        device_->configure(*parsed);
    settings_ = *parsed;
}

void SerialPortControl::setInputMode(int mode) {
    if (mode != 0 && mode != 1)
        throw CommError(CommErrors::InvalidPropertyValue,
                        QStringLiteral("Input mode %1 is not valid: use 0 for text or 1 for "
                                       "binary.")
                            .arg(mode));
    inputMode_ = mode;
}

SerialDevice& SerialPortControl::openDevice() const {
    if (!PortOpen())
        throw CommError(CommErrors::PortNotOpen,
                        QStringLiteral("Com %1 is not open. Open the port first.").arg(commPort_));
    return *device_;
}

void SerialPortControl::setOutput(const QString& text) {
    SerialDevice& device = openDevice();
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            throw CommError(CommErrors::InvalidPropertyValue,
                            QStringLiteral("The text to send holds characters that are not 8-bit "
                                           "(Latin-1) characters."));
    }
    device.write(text.toLatin1());
}

QString SerialPortControl::Input() {
    return QString::fromLatin1(openDevice().takeInput());
}

void SerialPortControl::setDTREnable(bool on) {
    if (!PortOpen()) {
        dtr_ = on;
        return;
    }
    const bool changed = dtr_ != on;
    device_->setDtr(on);  // driven even when unchanged; only a change is recorded
    dtr_ = on;
    if (changed)
        history_.add(kOutputsDriven, EventStamp::now(), knownLevels());
}

void SerialPortControl::setRTSEnable(bool on) {
    if (!PortOpen()) {
        rts_ = on;
        return;
    }
    const bool changed = rts_ != on;
    device_->setRts(on);  // driven even when unchanged; only a change is recorded
    rts_ = on;
    if (changed)
        history_.add(kOutputsDriven, EventStamp::now(), knownLevels());
}

quint8 SerialPortControl::knownLevels() const {
    const auto bit = [](bool on, int level) { return on ? level : 0; };
    return static_cast<quint8>(
        bit(dtr_, LineLevel::Dtr) | bit(rts_, LineLevel::Rts) |
        bit(knownInputs_.dsr, LineLevel::Dsr) | bit(knownInputs_.cts, LineLevel::Cts) |
        bit(knownInputs_.cd, LineLevel::Cd) | bit(knownInputs_.ring, LineLevel::Ri));
}

void SerialPortControl::learnFromEvent(short code, const EventStamp& stamp) {
    if (stamp.steady < knownAt_)
        return;  // the last read saw this change already
    if (code == CommEvents::CtsChanged)
        knownInputs_.cts = !knownInputs_.cts;
    else if (code == CommEvents::CdChanged)
        knownInputs_.cd = !knownInputs_.cd;
    else if (code == CommEvents::DsrFell)
        knownInputs_.dsr = false;
    else if (code == CommEvents::Ring)
        knownInputs_.ring = false;
    knownAt_ = stamp.steady;
}

ModemInputs SerialPortControl::readInputs() const {
    const EventStamp readAt = EventStamp::now();
    const ModemInputs now = openDevice().inputs();
    const quint8 before = knownLevels();
    knownInputs_ = now;
    knownAt_ = readAt.steady;
    if (knownLevels() != before)
        history_.add(kLevelsRead, readAt, knownLevels());
    return now;
}

bool SerialPortControl::DSRHolding() const {
    return readInputs().dsr;
}
bool SerialPortControl::CTSHolding() const {
    return readInputs().cts;
}
bool SerialPortControl::CDHolding() const {
    return readInputs().cd;
}
bool SerialPortControl::RIHolding() const {
    return readInputs().ring;
}

void SerialPortControl::requestDelivery() {
    if (!deliveryRequested_.exchange(true))
        QMetaObject::invokeMethod(this, &SerialPortControl::deliverPending, Qt::QueuedConnection);
}

void SerialPortControl::deliverPending() {
    deliveryRequested_ = false;
    // Hand back to the event loop now and then so that a storm of events cannot starve
    // painting and input; the rest follows in the next delivery.
    constexpr qint64 kSliceMs = 50;
    QElapsedTimer slice;
    slice.start();
    int delivered = 0;
    while (auto entry = queue_.pop()) {
        if (entry->lostGeneration != 0) {
            handleLost(entry->lostGeneration);
            continue;
        }
        // What a lost device reported before it went cannot be followed up: its lines
        // are gone. The loss itself is reported when its marker comes.
        if (device_ && lostGeneration_.load() == generation_)
            continue;
        commEvent_ = entry->code;
        commEventStamp_ = entry->stamp;
        learnFromEvent(entry->code, entry->stamp);
        history_.add(entry->code, entry->stamp, knownLevels());
        const quint64 added = history_.added();
        emit OnComm();
        if (history_.added() == added)  // the handler's reads belong to this event
            history_.setNewestLevels(knownLevels());
        if ((++delivered & 63) == 0 && slice.elapsed() > kSliceMs && queue_.size() > 0) {
            requestDelivery();
            break;
        }
    }
    reportDroppedEvents();
}

void SerialPortControl::handleLost(quint64 generation) {
    if (generation != generation_ || !device_)
        return;  // that device was closed already
    std::unique_ptr<CommError> reason;
    {
        std::lock_guard lock(lostMutex_);
        reason = std::move(lostReason_);
    }
    closeDevice();
    if (reason)
        emit deviceLost(reason->number(), reason->description());
}

void SerialPortControl::reportDroppedEvents() {
    const quint64 dropped = queue_.dropped();
    if (dropped == droppedReported_)
        return;
    droppedReported_ = dropped;
    emit eventsLost(dropped);
}
