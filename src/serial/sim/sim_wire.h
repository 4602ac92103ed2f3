#pragma once

#include <QByteArray>
#include <deque>

#include "line_settings.h"
#include "receive_buffer.h"
#include "serial_device.h"

// The wire in both directions, on the rig's clock: what is sent takes one character time per
// byte after what is still going out, and what arrives becomes readable once its time has
// come. Not locked: the port's state guards it.
class SimWire {
public:
    // The rig keeps this much of what was sent, newest last.
    static constexpr qsizetype kTransmitLogSize = 64 * 1024;

    // Both directions idle from `nowNs`, nothing on the way.
    void restart(qint64 nowNs);
    // Drops what is still on the way in.
    void clearArriving() { arriving_.clear(); }

    // What comes back of what is sent.
    struct Echo {
        bool on = false;
        bool firstHalfOnly = false;
        qint64 extraDelayNs = 0;  // added to every echo's wire time
    };

    // Sends what fits in the transmit buffer and schedules its echo. False when some bytes
    // found the buffer full.
    bool send(const QByteArray& bytes, const LineSettings& settings, qint64 nowNs,
              const Echo& echo);
    // The far end sends, one character time after another.
    void receiveFromFarEnd(const QByteArray& bytes, const LineSettings& settings, qint64 nowNs);
    // Moves what has arrived by `nowNs` into the receive buffer. True when that started an
    // overflow.
    bool pumpArrived(qint64 nowNs);

    QByteArray takeReceived() { return received_.take(); }
    const QByteArray& transmitted() const { return transmitted_; }
    void clearTransmitted() { transmitted_.clear(); }

private:
    struct ArrivingByte {
        qint64 atNs = 0;
        char byte = 0;
    };

    void schedule(qint64 atNs, char byte);
    void logTransmitted(const QByteArray& bytes);

    std::deque<ArrivingByte> arriving_;  // in arrival order
    qint64 txFreeAtNs_ = 0;
    qint64 farEndFreeAtNs_ = 0;
    ReceiveBuffer received_{kReceiveBufferSize};
    QByteArray transmitted_;
};
