#pragma once

#include <sys/types.h>

#include <QString>
#include <optional>

// Holds a tty within this process by device number, whatever path names it. A second open
// of a held tty is refused before open() reaches the driver: the kernel raises DTR and RTS
// on every open, and TIOCEXCL does not stop root, so the holder's lines would jump.
class ProcessReservation {
public:
    // Throws CommError PortAlreadyOpen when this process holds the device already. A path
    // that names no character device is not held: opening it tells what is wrong with it.
    explicit ProcessReservation(const QString& path);
    ~ProcessReservation();
    ProcessReservation(const ProcessReservation&) = delete;
    ProcessReservation& operator=(const ProcessReservation&) = delete;

private:
    std::optional<dev_t> device_;
};
