#include "termios_settings.h"

#include <termios.h>

#include <cerrno>

#include "comm_error.h"
#include "termios_speed.h"

namespace {

tcflag_t characterSize(int dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t parityFlags(LineSettings::Parity parity) {
    switch (parity) {
        case LineSettings::Parity::Even:
            return PARENB;
        case LineSettings::Parity::Odd:
            return PARENB | PARODD;
        // With CMSPAR the parity bit is fixed: 1 with PARODD, 0 without.
        case LineSettings::Parity::Mark:
            return PARENB | CMSPAR | PARODD;
        case LineSettings::Parity::Space:
            return PARENB | CMSPAR;
        case LineSettings::Parity::None:
            break;
    }
    return 0;
}

// The parts of a termios that the settings decide. A pseudo-terminal forces 8 bits without
// parity, so those bits say nothing there.
bool sameLineState(const termios& a, const termios& b, bool pseudoTerminal) {
    const tcflag_t forced = pseudoTerminal ? (CSIZE | PARENB | CREAD) : 0;
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
           (a.c_cflag & ~forced) == (b.c_cflag & ~forced) && a.c_cc[VMIN] == b.c_cc[VMIN] &&
           a.c_cc[VTIME] == b.c_cc[VTIME] && ::cfgetispeed(&a) == ::cfgetispeed(&b) &&
           ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

}  // namespace

void makeRawTermios(termios& t, const LineSettings& settings) {
    // Input checks on so that the kernel marks bad bytes and breaks (\377 \0 X) instead of
    // passing or dropping them silently.
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | IMAXBEL | IUCLC | IUTF8);
    t.c_iflag |= INPCK | PARMRK;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits) | parityFlags(settings.parity);
    // A UART sends 1.5 stop bits for "two" when the character has 5 data bits.
    if (settings.stopBits != LineSettings::StopBits::One)
        t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

bool applyLineSettings(int fd, const QString& path, const LineSettings& settings,
                       bool pseudoTerminal) {
    const auto rejected = [&](const QString& why) {
        return CommError(CommErrors::SettingsRejected,
                         QStringLiteral("The settings %1 cannot be used on %2: %3.")
                             .arg(settings.toText(), path, why));
    };
    const std::optional<speed_t> speed = termiosSpeed(settings.baud);
    if (!speed)
        throw rejected(QStringLiteral("the speed is not supported"));

    termios present{};
    if (::tcgetattr(fd, &present) != 0)
        throw rejected(systemErrorText(errno));
    termios wanted = present;
    makeRawTermios(wanted, settings);
    ::cfsetispeed(&wanted, *speed);
    ::cfsetospeed(&wanted, *speed);
    // Every tcsetattr costs more than the call: an 8250 switches its modem-status interrupts
    // off under CLOCAL without flow control, until the next wait for a line change.
    if (sameLineState(present, wanted, pseudoTerminal))
        return false;
    if (::tcsetattr(fd, TCSANOW, &wanted) != 0)
        throw rejected(systemErrorText(errno));

    // tcsetattr succeeds if any part was taken; a driver quietly keeps what it cannot do.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0)
        throw rejected(systemErrorText(errno));
    if (::cfgetospeed(&applied) != *speed)
        throw rejected(QStringLiteral("the device does not support %1 baud").arg(settings.baud));
    tcflag_t format = CSIZE | CSTOPB | PARENB;
    if (wanted.c_cflag & PARENB)
        format |= PARODD | CMSPAR;
    if (!pseudoTerminal && (applied.c_cflag & format) != (wanted.c_cflag & format))
        throw rejected(QStringLiteral("the device does not support this character format"));
    return true;
}
