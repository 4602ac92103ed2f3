#pragma once

#include <sys/types.h>

#include <QString>

// Holds a tty within this process by device number, whatever path names it. A second open
// of a held tty is refused before open() reaches the driver: the kernel raises DTR and RTS
// on every open, and TIOCEXCL does not stop root, so the holder's lines would jump.
class ProcessReservation {
public:
    // Throws CommError PortAlreadyOpen, naming `path`, when this process holds the device
    // already.
    ProcessReservation(dev_t device, const QString& path);
    ~ProcessReservation();
    ProcessReservation(const ProcessReservation&) = delete;
    ProcessReservation& operator=(const ProcessReservation&) = delete;

private:
    dev_t device_;
};
