#pragma once

#include <termios.h>

#include <QString>

#include "line_settings.h"
#include "modem_lines.h"
#include "process_reservation.h"
#include "serial_node.h"
#include "system_folders.h"
#include "termios_settings.h"
#include "unique_fd.h"
#include "uucp_lock.h"

// An open tty (O_RDWR|O_NOCTTY|O_NONBLOCK) held for exclusive use: within this process and
// against other serial programs before opening (the UUCP lock, named after the device, and a
// look in /proc for any other process that has it open), through TIOCEXCL and an advisory
// flock once open.
// Only a node that sysfs shows to be a serial tty is opened. Destroying it discards unsent
// output, so that closing never waits on a slow line, gives the tty back the termios it had
// when it was opened, gives up the hold and closes the descriptor.
class SystemTty {
public:
    // Throws CommError: InvalidPortNumber when the path names no usable tty, PortAlreadyOpen
    // when it is held, PermissionDenied when the user may not open it, OpenFailed for any
    // other failure.
    SystemTty(const QString& path, const SystemFolders& folders);
    ~SystemTty();
    SystemTty(const SystemTty&) = delete;
    SystemTty& operator=(const SystemTty&) = delete;

    int fd() const { return fd_.get(); }
    const QString& path() const { return path_; }
    // Pseudo-terminals carry no character format: the kernel forces 8 bits, no parity.
    bool isPseudoTerminal() const { return node_.isPseudoTerminalSlave(); }
    // Its entry in sysfs; empty for a pseudo-terminal, which has none.
    const QString& sysfsEntry() const { return sysfsEntry_; }
    // A device (not a pseudo-terminal) that appeared less than a second before it was opened:
    // one that then vanishes was likely taken by a service that grabs new adapters.
    bool appearedJustBeforeOpen() const { return appearedJustBeforeOpen_; }

    // Raw mode with the line's format and the kernel's error marking on. Throws
    // SettingsRejected. Returns whether the tty's termios changed.
    bool applySettings(const LineSettings& settings) {
        return applyLineSettings(fd(), path_, settings, isPseudoTerminal());
    }
    void discardInput();

    // Modem-line calls return 0 or the errno of the failed ioctl.
    int setModemBits(int bits, bool on) { return switchModemLines(fd(), bits, on); }
    int readLevels(LineSnapshot::Levels& levels) { return readModemLevels(fd(), levels); }
    int readCounters(LineSnapshot::Counters& counters) { return readModemCounters(fd(), counters); }

private:
    QString path_;
    SerialNode node_;
    QString sysfsEntry_;
    // Taken in this order before the device opens, given up in reverse after it closes.
    ProcessReservation reservation_;
    UucpLock lock_;
    UniqueFd fd_;
    termios found_{};
    bool appearedJustBeforeOpen_ = false;
};
