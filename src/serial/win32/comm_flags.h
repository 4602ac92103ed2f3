#pragma once

#include <cstdint>

// The values of the Windows communications API that the event logic reads, spelled out so that
// the logic builds and is tested on any system. The Windows build checks them against
// <windows.h> (comm_flags_check.cpp).
namespace CommFlags {

// WaitCommEvent masks (EV_*).
inline constexpr std::uint32_t RxChar = 0x0001;
inline constexpr std::uint32_t Cts = 0x0008;
inline constexpr std::uint32_t Dsr = 0x0010;
inline constexpr std::uint32_t Rlsd = 0x0020;
inline constexpr std::uint32_t Break = 0x0040;
inline constexpr std::uint32_t Err = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
inline constexpr std::uint32_t ModemLines = Cts | Dsr | Rlsd | Ring;
inline constexpr std::uint32_t Watched = RxChar | Break | Err | ModemLines;

// ClearCommError flags (CE_*).
inline constexpr std::uint32_t RxOver = 0x0001;
inline constexpr std::uint32_t Overrun = 0x0002;
inline constexpr std::uint32_t RxParity = 0x0004;
inline constexpr std::uint32_t Frame = 0x0008;
inline constexpr std::uint32_t BreakSeen = 0x0010;

// GetCommModemStatus bits (MS_*_ON).
inline constexpr std::uint32_t CtsOn = 0x0010;
inline constexpr std::uint32_t DsrOn = 0x0020;
inline constexpr std::uint32_t RingOn = 0x0040;
inline constexpr std::uint32_t RlsdOn = 0x0080;

}  // namespace CommFlags

// System error codes (ERROR_*) the device tells apart.
namespace WinErrors {
inline constexpr std::uint32_t InvalidFunction = 1;
inline constexpr std::uint32_t FileNotFound = 2;
inline constexpr std::uint32_t PathNotFound = 3;
inline constexpr std::uint32_t AccessDenied = 5;
inline constexpr std::uint32_t BadCommand = 22;
inline constexpr std::uint32_t SharingViolation = 32;
inline constexpr std::uint32_t NotSupported = 50;
inline constexpr std::uint32_t InvalidParameter = 87;
inline constexpr std::uint32_t CallNotImplemented = 120;
inline constexpr std::uint32_t OperationAborted = 995;
inline constexpr std::uint32_t DeviceRemoved = 1617;

// What a port without modem lines (a pseudo-terminal behind Wine, some virtual ports) answers
// to the calls on them.
constexpr bool meansNoModemLines(std::uint32_t error) {
    return error == NotSupported || error == InvalidParameter || error == InvalidFunction ||
           error == CallNotImplemented;
}
}  // namespace WinErrors
