#include "win_event.h"

#include <windows.h>

WinEvent::WinEvent() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WinEvent::~WinEvent() {
    CloseHandle(handle_);
}
