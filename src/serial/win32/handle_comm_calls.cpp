#include "handle_comm_calls.h"

#include <windows.h>

std::uint32_t HandleCommCalls::clearErrors(std::uint32_t& flags, std::uint32_t& waiting) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status))
        return GetLastError();
    flags = errors;
    waiting = status.cbInQue;
    return 0;
}

std::uint32_t HandleCommCalls::modemStatus(std::uint32_t& bits) {
    DWORD status = 0;
    if (!GetCommModemStatus(port_, &status))
        return GetLastError();
    bits = status;
    return 0;
}

std::uint32_t HandleCommCalls::read(QByteArray& bytes, int max) {
    bytes.resize(max);
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.handle();
    DWORD got = 0;
    if (!ReadFile(port_, bytes.data(), static_cast<DWORD>(max), &got, &overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING || !GetOverlappedResult(port_, &overlapped, &got, TRUE)) {
            bytes.clear();
            return error != ERROR_IO_PENDING ? error : GetLastError();
        }
    }
    bytes.resize(static_cast<qsizetype>(got));
    return 0;
}
