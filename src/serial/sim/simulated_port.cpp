#include "simulated_port.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "comm_event.h"
#include "receive_buffer.h"

namespace {

const QString kUnpluggedText = QStringLiteral("The simulated port was unplugged.");

struct Failure {
    int number = 0;
    QString description;
    bool persistent = false;
};

struct ArrivingByte {
    qint64 atNs = 0;
    char byte = 0;
};

double characterNs(const LineSettings& settings) {
    return settings.bitsPerCharacter() * 1e9 / settings.baud;
}

qint64 wireNs(qsizetype characters, double perCharacterNs) {
    return std::llround(static_cast<double>(characters) * perCharacterNs);
}

}  // namespace

// Everything the rig and the open device share. Members below the mutex are guarded by it;
// the helpers expect it held.
struct SimulatedPort::State {
    explicit State(std::shared_ptr<SimClock> c) : clock(std::move(c)) {}

    const std::shared_ptr<SimClock> clock;
    mutable std::mutex mutex;

    Wiring wiring = Wiring::LoopbackPlug;
    qint64 echoDelayNs = 0;
    bool partialEcho = false;
    bool held = false;
    bool absent = false;
    std::chrono::milliseconds noise{0};
    std::map<Operation, Failure> failures;

    quint64 openId = 0;  // the device that has the port; 0 while free
    quint64 lastId = 0;
    DeviceEventSink* sink = nullptr;
    int opens = 0;

    LineSettings settings;
    bool dtr = false;
    bool rts = false;
    ModemInputs inputs;

    std::deque<ArrivingByte> arriving;  // in arrival order
    qint64 txFreeAtNs = 0;
    qint64 farEndFreeAtNs = 0;
    ReceiveBuffer received{kReceiveBufferSize};
    QByteArray transmitted;

    void raise(short code) {
        if (sink)
            sink->portEvent(code);
    }

    void setCts(bool on) {
        if (inputs.cts == on)
            return;
        inputs.cts = on;
        raise(CommEvents::CtsChanged);
    }
    void setDsr(bool on) {
        if (inputs.dsr == on)
            return;
        inputs.dsr = on;
        if (!on)
            raise(CommEvents::DsrFell);
    }
    void setCd(bool on) {
        if (inputs.cd == on)
            return;
        inputs.cd = on;
        raise(CommEvents::CdChanged);
    }
    void setRing(bool on) {
        if (inputs.ring == on)
            return;
        inputs.ring = on;
        if (!on)
            raise(CommEvents::Ring);
    }

    void driveRts(bool on) {
        rts = on;
        if (wiring == Wiring::LoopbackPlug)
            setCts(on);
    }
    void driveDtr(bool on) {
        dtr = on;
        if (wiring != Wiring::LoopbackPlug)
            return;
        setDsr(on);  // a fall reports before the carrier change
        setCd(on);
    }
    void plugInputs() {
        if (wiring != Wiring::LoopbackPlug)
            return;
        inputs.cts = rts;
        inputs.dsr = dtr;
        inputs.cd = dtr;
    }

    void checkDevice(quint64 id) const {
        if (openId != id)
            throw CommError(CommErrors::DeviceLost, kUnpluggedText);
    }

    void checkFailure(Operation operation) {
        const auto it = failures.find(operation);
        if (it == failures.end())
            return;
        const Failure failure = it->second;
        if (!failure.persistent)
            failures.erase(it);
        throw CommError(failure.number, failure.description);
    }

    void schedule(qint64 atNs, char byte) {
        if (arriving.empty() || arriving.back().atNs <= atNs) {
            arriving.push_back({atNs, byte});
            return;
        }
        const auto at =
            std::upper_bound(arriving.begin(), arriving.end(), atNs,
                             [](qint64 t, const ArrivingByte& b) { return t < b.atNs; });
        arriving.insert(at, {atNs, byte});
    }

    // Moves what has arrived by now into the receive buffer.
    void pumpArrived() {
        const qint64 now = clock->nowNs();
        QByteArray arrived;
        while (!arriving.empty() && arriving.front().atNs <= now) {
            arrived.append(arriving.front().byte);
            arriving.pop_front();
        }
        if (!arrived.isEmpty() && received.append(arrived))
            raise(CommEvents::ReceiveOverflow);
    }

    void logTransmitted(const QByteArray& bytes) {
        transmitted.append(bytes);
        if (transmitted.size() > kTransmitLogSize)
            transmitted.remove(0, transmitted.size() - kTransmitLogSize);
    }

    void send(const QByteArray& bytes) {
        const qint64 now = clock->nowNs();
        const double perCharacterNs = characterNs(settings);
        const qint64 start = std::max(now, txFreeAtNs);
        const auto waiting =
            static_cast<qsizetype>(std::ceil(static_cast<double>(start - now) / perCharacterNs));
        const qsizetype room = std::max<qsizetype>(0, kTransmitBufferSize - waiting);
        const QByteArray accepted = bytes.first(std::min(room, bytes.size()));
        logTransmitted(accepted);

        qsizetype echoed = 0;
        if (wiring == Wiring::LoopbackPlug)
            echoed = partialEcho ? accepted.size() / 2 : accepted.size();
        for (qsizetype i = 0; i < echoed; ++i)
            schedule(start + wireNs(i + 1, perCharacterNs) + echoDelayNs, accepted[i]);
        txFreeAtNs = start + wireNs(accepted.size(), perCharacterNs);

        if (accepted.size() < bytes.size())
            raise(CommEvents::TransmitFull);
    }

    void receiveFromFarEnd(const QByteArray& bytes) {
        const double perCharacterNs = characterNs(settings);
        const qint64 start = std::max(clock->nowNs(), farEndFreeAtNs);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            schedule(start + wireNs(i + 1, perCharacterNs), bytes[i]);
        farEndFreeAtNs = start + wireNs(bytes.size(), perCharacterNs);
    }

    void makeNoise(quint64 id, int step) {
        std::lock_guard lock(mutex);
        if (openId != id)
            return;
        pumpArrived();
        switch (step % 3) {
            case 0:
                setRing(true);
                setRing(false);
                break;
            case 1:
                raise(CommEvents::Break);
                break;
            default:
                setCts(!inputs.cts);
                setCts(!inputs.cts);
                break;
        }
    }

    void release(quint64 id) {
        std::lock_guard lock(mutex);
        if (openId != id)
            return;  // vanished meanwhile: already released
        openId = 0;
        sink = nullptr;
        arriving.clear();
    }
};

// Injects events now and then from its own thread until destroyed.
class SimulatedPort::NoiseMaker {
public:
    NoiseMaker(std::shared_ptr<State> state, quint64 id, std::chrono::milliseconds interval)
        : thread_([this, state, id, interval] { run(*state, id, interval); }) {}

    ~NoiseMaker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void run(State& state, quint64 id, std::chrono::milliseconds interval) {
        std::unique_lock lock(mutex_);
        for (int step = 0;; ++step) {
            if (wake_.wait_for(lock, interval, [this] { return stopping_; }))
                return;
            lock.unlock();
            state.makeNoise(id, step);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

class SimulatedPort::Device : public SerialDevice {
public:
    Device(std::shared_ptr<State> state, quint64 id, std::chrono::milliseconds noise)
        : state_(std::move(state)), id_(id) {
        if (noise.count() > 0)
            noise_ = std::make_unique<NoiseMaker>(state_, id_, noise);
    }

    ~Device() override {
        noise_.reset();
        state_->release(id_);
    }

    void configure(const LineSettings& settings) override {
        auto lock = enter(Operation::Configure);
        state_->settings = settings;
    }
    void setDtr(bool on) override {
        auto lock = enter(Operation::SetDtr);
        state_->driveDtr(on);
    }
    void setRts(bool on) override {
        auto lock = enter(Operation::SetRts);
        state_->driveRts(on);
    }
    ModemInputs inputs() override {
        auto lock = enter(Operation::Inputs);
        return state_->inputs;
    }
    void write(const QByteArray& bytes) override {
        auto lock = enter(Operation::Write);
        state_->send(bytes);
    }
    QByteArray takeInput() override {
        auto lock = enter(Operation::TakeInput);
        return state_->received.take();
    }
    // The rig reports every edge it makes.
    PortFidelity fidelity() const override {
        return PortFidelity::all({FidelityGrade::EveryEdge, 0});
    }

private:
    std::unique_lock<std::mutex> enter(Operation operation) {
        std::unique_lock lock(state_->mutex);
        state_->checkDevice(id_);
        state_->pumpArrived();
        state_->checkFailure(operation);
        return lock;
    }

    std::shared_ptr<State> state_;
    const quint64 id_;
    std::unique_ptr<NoiseMaker> noise_;
};

std::shared_ptr<SimulatedPort> SimulatedPort::fromVariant(const QString& variant) {
    const QString name = variant.trimmed().toLower();
    auto port = std::make_shared<SimulatedPort>();
    if (name.isEmpty())
        return port;
    if (name == "noplug")
        port->setWiring(Wiring::NoPlug);
    else if (name == "late")
        port->setEchoDelay(kLateEchoDelay);
    else if (name == "partial")
        port->setPartialEcho(true);
    else if (name == "held")
        port->setHeld(true);
    else if (name == "absent")
        port->setAbsent(true);
    else if (name == "noisy")
        port->setNoise(kNoiseInterval);
    else
        return nullptr;
    return port;
}

QStringList SimulatedPort::variantNames() {
    return {"noplug", "late", "partial", "held", "absent", "noisy"};
}

SimulatedPort::SimulatedPort(std::shared_ptr<SimClock> clock)
    : state_(std::make_shared<State>(std::move(clock))) {}

SimulatedPort::~SimulatedPort() = default;

std::unique_ptr<SerialDevice> SimulatedPort::open(const OpenRequest& request,
                                                  DeviceEventSink& sink) {
    quint64 id = 0;
    std::chrono::milliseconds noise{0};
    {
        std::lock_guard lock(state_->mutex);
        State& s = *state_;
        s.checkFailure(Operation::Open);
        if (s.absent)
            throw CommError(CommErrors::InvalidPortNumber,
                            QStringLiteral("The simulated port is not present."));
        if (s.held)
            throw CommError(CommErrors::PortAlreadyOpen,
                            QStringLiteral("The simulated port is held by another program."));
        if (s.openId != 0)
            throw CommError(CommErrors::PortAlreadyOpen,
                            QStringLiteral("The simulated port is already open."));
        id = ++s.lastId;
        s.openId = id;
        s.sink = &sink;
        ++s.opens;
        s.settings = request.settings;
        s.dtr = request.dtr;
        s.rts = request.rts;
        s.plugInputs();
        s.arriving.clear();
        s.txFreeAtNs = s.farEndFreeAtNs = s.clock->nowNs();
        s.received.take();
        noise = s.noise;
    }
    try {
        return std::make_unique<Device>(state_, id, noise);
    } catch (...) {
        state_->release(id);
        throw;
    }
}

void SimulatedPort::setWiring(Wiring wiring) {
    std::lock_guard lock(state_->mutex);
    state_->wiring = wiring;
    if (wiring == Wiring::NoPlug)
        state_->inputs = {};
}

void SimulatedPort::setEchoDelay(std::chrono::nanoseconds extra) {
    std::lock_guard lock(state_->mutex);
    state_->echoDelayNs = extra.count();
}

void SimulatedPort::setPartialEcho(bool firstHalfOnly) {
    std::lock_guard lock(state_->mutex);
    state_->partialEcho = firstHalfOnly;
}

void SimulatedPort::setHeld(bool held) {
    std::lock_guard lock(state_->mutex);
    state_->held = held;
}

void SimulatedPort::setAbsent(bool absent) {
    std::lock_guard lock(state_->mutex);
    state_->absent = absent;
}

void SimulatedPort::setNoise(std::chrono::milliseconds interval) {
    std::lock_guard lock(state_->mutex);
    state_->noise = interval;
}

void SimulatedPort::failOperation(Operation operation, int number, const QString& description,
                                  Repeat repeat) {
    std::lock_guard lock(state_->mutex);
    state_->failures[operation] = {number, description, repeat == Repeat::Persistent};
}

void SimulatedPort::clearFailures() {
    std::lock_guard lock(state_->mutex);
    state_->failures.clear();
}

bool SimulatedPort::injectEvent(short code) {
    std::lock_guard lock(state_->mutex);
    if (!state_->sink)
        return false;
    state_->raise(code);
    return true;
}

void SimulatedPort::driveInput(InputLine line, bool active) {
    std::lock_guard lock(state_->mutex);
    switch (line) {
        case InputLine::Cts:
            state_->setCts(active);
            break;
        case InputLine::Dsr:
            state_->setDsr(active);
            break;
        case InputLine::Cd:
            state_->setCd(active);
            break;
        case InputLine::Ring:
            state_->setRing(active);
            break;
    }
}

void SimulatedPort::pulseRing() {
    std::lock_guard lock(state_->mutex);
    state_->setRing(true);
    state_->setRing(false);
}

void SimulatedPort::receive(const QByteArray& bytes) {
    std::lock_guard lock(state_->mutex);
    if (state_->openId == 0)
        return;
    state_->receiveFromFarEnd(bytes);
}

void SimulatedPort::vanish() {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.absent = true;
    if (s.openId == 0)
        return;
    DeviceEventSink* sink = s.sink;
    s.openId = 0;
    s.sink = nullptr;
    s.arriving.clear();
    sink->deviceLost(CommError(CommErrors::DeviceLost, kUnpluggedText));
}

void SimulatedPort::restore() {
    setAbsent(false);
}

bool SimulatedPort::isOpen() const {
    std::lock_guard lock(state_->mutex);
    return state_->openId != 0;
}

int SimulatedPort::openCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->opens;
}

QByteArray SimulatedPort::transmitted() const {
    std::lock_guard lock(state_->mutex);
    return state_->transmitted;
}

void SimulatedPort::clearTransmitted() {
    std::lock_guard lock(state_->mutex);
    state_->transmitted.clear();
}

LineSettings SimulatedPort::lineSettings() const {
    std::lock_guard lock(state_->mutex);
    return state_->settings;
}

bool SimulatedPort::dtr() const {
    std::lock_guard lock(state_->mutex);
    return state_->dtr;
}

bool SimulatedPort::rts() const {
    std::lock_guard lock(state_->mutex);
    return state_->rts;
}

ModemInputs SimulatedPort::inputLines() const {
    std::lock_guard lock(state_->mutex);
    return state_->inputs;
}
