#pragma once

#include <sys/types.h>

#include <QString>
#include <optional>

#include "line_settings.h"
#include "system_line_events.h"

struct termios;

// An open tty (O_RDWR|O_NOCTTY|O_NONBLOCK) held for exclusive use: within this process by
// device number before opening, against others through TIOCEXCL and an advisory flock.
// Destroying it discards unsent output, so that closing never waits on a slow line, gives up
// the hold and closes the descriptor.
class SystemTty {
public:
    // Where the lock files that keep a second tester off a held device live.
    static inline const QString kLockFolder = QStringLiteral("/run/lock");

    // Throws CommError: 8002 when the path names no usable tty, 8005 when it is held,
    // 8030 when the user may not open it, 8040 for any other failure.
    explicit SystemTty(const QString& path);
    ~SystemTty();
    SystemTty(const SystemTty&) = delete;
    SystemTty& operator=(const SystemTty&) = delete;

    int fd() const { return fd_; }
    const QString& path() const { return path_; }
    // Pseudo-terminals carry no character format: the kernel forces 8 bits, no parity.
    bool isPseudoTerminal() const { return pseudoTerminal_; }

    // Raw mode with the line's format and the kernel's error marking on. Throws 8015.
    void applySettings(const LineSettings& settings);
    void discardInput();

    // Modem-line calls return 0 or the errno of the failed ioctl.
    int setModemBits(int bits, bool on);
    int readLevels(LineSnapshot::Levels& levels);
    int readCounters(LineSnapshot::Counters& counters);

private:
    void reserveInThisProcess();
    void releaseReservation();
    void lockAgainstOtherProcesses();
    void releaseLockFile();
    void openDevice();
    void takeExclusiveUse();

    QString path_;
    std::optional<dev_t> reservedDevice_;
    int lockFd_ = -1;
    int fd_ = -1;
    bool pseudoTerminal_ = false;
};

// Raw mode with the line's format, no flow control and no processing, and the input checks
// on so that the kernel marks bad bytes and breaks. Speed is not set here.
void makeRawTermios(termios& t, const LineSettings& settings);

// The device has no such lines or counters (pseudo-terminals): not a failure.
bool isUnsupportedIoctl(int err);
// The device went away under an open descriptor (unplugged, hung up).
bool meansDeviceGone(int err);
