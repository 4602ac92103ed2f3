#pragma once

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rig_control.h"

// The far end of the rig's tty, as the guest programs play it through the control device:
// the port's input lines, the bytes it receives and their line errors, what it sent, and
// the hang-up.
class RigControl {
public:
    struct Received {
        rig_receive_flag flag;
        unsigned char byte;
    };

    RigControl() : fd_(::open(RIG_CONTROL_PATH, O_RDWR | O_CLOEXEC)) {}
    ~RigControl() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RigControl(const RigControl&) = delete;
    RigControl& operator=(const RigControl&) = delete;

    bool ok() const { return fd_ >= 0; }

    // TIOCM_CTS, TIOCM_DSR, TIOCM_CAR and TIOCM_RNG: the levels the port reads from now on.
    bool setInputs(unsigned int lines) {
        std::uint32_t levels = lines;
        return ::ioctl(fd_, RIG_SET_INPUTS, &levels) == 0;
    }
    // Flips the lines and back `count` times inside the driver: pulses too short for any
    // look at the levels to see.
    bool pulse(unsigned int lines, unsigned int count) {
        rig_pulse p{lines, count};
        return ::ioctl(fd_, RIG_PULSE_INPUTS, &p) == 0;
    }
    bool receive(const std::vector<Received>& bytes) {
        std::vector<unsigned char> pairs;
        pairs.reserve(bytes.size() * 2);
        for (const Received& r : bytes) {
            pairs.push_back(static_cast<unsigned char>(r.flag));
            pairs.push_back(r.byte);
        }
        return ::write(fd_, pairs.data(), pairs.size()) == static_cast<ssize_t>(pairs.size());
    }
    // What the port has sent since the last call.
    std::string takeSent() {
        std::string sent;
        char chunk[4096];
        ssize_t n;
        while ((n = ::read(fd_, chunk, sizeof chunk)) > 0)
            sent.append(chunk, static_cast<std::size_t>(n));
        return sent;
    }
    // The port's DTR and RTS (TIOCM_* bits), or -1.
    int outputLines() {
        rig_outputs out{};
        return ::ioctl(fd_, RIG_GET_OUTPUTS, &out) == 0 ? static_cast<int>(out.lines) : -1;
    }
    // Breaks the port has started to send, or -1.
    int breaksSent() {
        rig_outputs out{};
        return ::ioctl(fd_, RIG_GET_OUTPUTS, &out) == 0 ? static_cast<int>(out.breaks) : -1;
    }
    bool hangUp() { return ::ioctl(fd_, RIG_HANG_UP) == 0; }

private:
    int fd_;
};
