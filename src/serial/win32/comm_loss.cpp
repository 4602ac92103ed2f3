#include "comm_loss.h"

#include "comm_flags.h"

CommLoss::CommLoss(QString port, DeviceEventSink& sink) : port_(std::move(port)), sink_(sink) {}

bool CommLoss::meansGone(std::uint32_t error) {
    // What USB serial drivers answer once their adapter is unplugged.
    return error == WinErrors::OperationAborted || error == WinErrors::BadCommand ||
           error == WinErrors::DeviceRemoved;
}

bool CommLoss::reportIfGone(std::uint32_t error) {
    if (!meansGone(error))
        return false;
    report();
    return true;
}

void CommLoss::report() {
    if (lost_.exchange(true))
        return;
    sink_.deviceLost(CommError(CommErrors::DeviceLost,
                               QStringLiteral("%1 stopped answering (the adapter was unplugged), "
                                              "so the port was closed. Reconnect it and choose "
                                              "the port again.")
                                   .arg(port_)));
}
