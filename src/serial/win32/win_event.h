#pragma once

// A manual-reset event of the system's, closed when destroyed.
class WinEvent {
public:
    WinEvent();
    ~WinEvent();
    WinEvent(const WinEvent&) = delete;
    WinEvent& operator=(const WinEvent&) = delete;

    void* handle() const { return handle_; }

private:
    void* handle_;
};
