#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>

#include "device_opener.h"
#include "event_history.h"
#include "event_queue.h"
#include "serial_port.h"

// The serial port control: properties that open, configure and drive a port, and one
// OnComm notification per line change or line error, delivered on the thread that owns
// the control with CommEvent set to that event's code.
class SerialPortControl : public QObject, public SerialPort {
    Q_OBJECT

public:
    static constexpr std::size_t kEventQueueCapacity = 1'000'000;

    explicit SerialPortControl(std::shared_ptr<DeviceOpener> opener, QObject* parent = nullptr,
                               std::size_t eventQueueCapacity = kEventQueueCapacity);
    ~SerialPortControl() override;

    bool PortOpen() const override;
    void setPortOpen(bool open) override;
    short CommPort() const override { return commPort_; }
    void setCommPort(short port) override;
    QString Settings() const override { return settings_.toText(); }
    void setSettings(const QString& settings) override;
    int InputMode() const override { return inputMode_; }
    void setInputMode(int mode) override;
    void setOutput(const QString& text) override;
    QString Input() override;
    bool DTREnable() const override { return dtr_; }
    void setDTREnable(bool on) override;
    bool RTSEnable() const override { return rts_; }
    void setRTSEnable(bool on) override;
    bool DSRHolding() const override;
    bool CTSHolding() const override;
    bool CDHolding() const override;
    short CommEvent() const override { return commEvent_; }
    // When the device saw the event being delivered.
    const EventStamp& CommEventStamp() const { return commEventStamp_; }
    bool RIHolding() const;
    bool PortPresent(short port) const override { return opener_->reaches(port); }
    // How faithfully the open port sees each input line; "not known" while closed.
    PortFidelity Fidelity() const;
    // The events delivered since the port last opened.
    const EventHistory& History() const { return history_; }

    // Events dropped because they came faster than they could be delivered.
    quint64 LostEvents() const { return queue_.dropped(); }
    // Events waiting for delivery.
    std::size_t PendingEvents() const { return queue_.size(); }

signals:
    void OnComm();
    // A port was opened or closed by a call (a loss is told by deviceLost).
    void portOpenChanged();
    // The open device disappeared; the port is closed already.
    void deviceLost(int number, const QString& description);
    // The event queue overflowed; total is the number of events lost since start.
    void eventsLost(quint64 total);

private:
    class Sink;

    void closeDevice();
    SerialDevice& openDevice() const;
    ModemInputs readInputs() const;
    // The levels of the lines as last read, for the history. Reading them anew for it
    // would cost the device a call per event; an event's own change is applied when it
    // came after the last read.
    quint8 knownLevels() const;
    void learnFromEvent(short code, const EventStamp& stamp);
    void requestDelivery();
    Q_INVOKABLE void deliverPending();
    void handleLost(quint64 generation);
    void reportDroppedEvents();

    std::shared_ptr<DeviceOpener> opener_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<SerialDevice> device_;
    quint64 generation_ = 0;
    std::atomic<quint64> lostGeneration_{0};
    std::mutex lostMutex_;
    std::unique_ptr<CommError> lostReason_;

    EventQueue queue_;
    std::atomic<bool> deliveryRequested_{false};
    quint64 droppedReported_ = 0;

    short commPort_ = 1;
    LineSettings settings_;
    int inputMode_ = 0;
    // On before the first opening: the kernel raises DTR when a tty opens, so the line does not
    // drop and rise again (a pulse a loopback would log) when the selection switches it on.
    bool dtr_ = true;
    bool rts_ = false;
    short commEvent_ = 0;
    EventStamp commEventStamp_{};
    mutable ModemInputs knownInputs_;
    mutable std::chrono::steady_clock::time_point knownAt_{};
    mutable EventHistory history_;  // reads of the lines record what they find
};
