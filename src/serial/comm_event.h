#pragma once

// Codes the control reports through CommEvent with each OnComm notification.
namespace CommEvents {
inline constexpr short SendThreshold = 1;
inline constexpr short ReceiveThreshold = 2;
inline constexpr short CtsChanged = 3;
inline constexpr short DsrFell = 4;
inline constexpr short CdChanged = 5;
inline constexpr short Ring = 6;
inline constexpr short EndOfFile = 7;
inline constexpr short Break = 1001;
inline constexpr short Framing = 1004;
inline constexpr short Overrun = 1006;
inline constexpr short ReceiveOverflow = 1008;
inline constexpr short Parity = 1009;
inline constexpr short TransmitFull = 1010;
inline constexpr short DcbError = 1011;
}  // namespace CommEvents
