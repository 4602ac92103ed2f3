#include "input_reader.h"

#include <unistd.h>

#include <cerrno>

#include "comm_event.h"

namespace {

// A tty that keeps saying "readable" but yields nothing this many times in a row may be dead:
// giving up on it beats spinning. Or another program that shares it reads the input first;
// the loss asks the tty which.
constexpr int kMaxEmptyReadableWakes = 64;
constexpr int kReadChunk = 4096;
constexpr int kMaxChunksPerWake = 16;

}  // namespace

InputReader::InputReader(SystemTty& tty, ReceiveBuffer& receive, DeviceEventSink& sink,
                         DeviceLoss& loss, bool kernelCountsErrors)
    : tty_(tty), receive_(receive), sink_(sink), loss_(loss), reportMarks_(!kernelCountsErrors) {}

void InputReader::readAvailable() {
    char chunk[kReadChunk];
    bool gotData = false;
    for (int i = 0; i < kMaxChunksPerWake; ++i) {
        const ssize_t n = ::read(tty_.fd(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && loss_.reportIfGone(errno))
            return;
        // With VMIN and VTIME 0 an empty tty reads as 0 bytes rather than EAGAIN.
        if (n <= 0)
            break;
        gotData = true;
        deliver(chunk, n);
        if (n < kReadChunk)
            break;
    }
    emptyReadableWakes_ = gotData ? 0 : emptyReadableWakes_ + 1;
    if (emptyReadableWakes_ >= kMaxEmptyReadableWakes && !loss_.reportUnlessAnswering(tty_.fd()))
        emptyReadableWakes_ = 0;
}

void InputReader::deliver(const char* bytes, qsizetype size) {
    decoded_.resize(0);
    marks_.clear();
    decoder_.decode(bytes, size, decoded_, marks_);
    if (reportMarks_) {
        const short badByte = parityEnabled_.load() ? CommEvents::Parity : CommEvents::Framing;
        for (const auto mark : marks_)
            sink_.portEvent(mark == ParmrkDecoder::Mark::Break ? CommEvents::Break : badByte);
    }
    if (!decoded_.isEmpty() && receive_.append(decoded_))
        sink_.portEvent(CommEvents::ReceiveOverflow);
}
