#pragma once

#include "comm_calls.h"
#include "win_event.h"

// The event logic's calls on an open COM port, made for real. Reads may come from the event
// thread and from the user-interface thread, never at the same time (the reader serialises
// them).
class HandleCommCalls : public CommCalls {
public:
    using Handle = void*;
    explicit HandleCommCalls(Handle port) : port_(port) {}

    std::uint32_t clearErrors(std::uint32_t& flags, std::uint32_t& waiting) override;
    std::uint32_t modemStatus(std::uint32_t& bits) override;
    std::uint32_t read(QByteArray& bytes, int max) override;

private:
    Handle port_;
    WinEvent readDone_;
};
