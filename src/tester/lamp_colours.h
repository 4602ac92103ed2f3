#pragma once

// Lamp colours, 0x00BBGGRR.
namespace LampColours {
inline constexpr int Green = 65280;    // 0x00FF00: a line reads false; the wiring check passed
inline constexpr int Red = 255;        // 0x0000FF: a line reads true; the wiring check failed
inline constexpr int Idle = 0x404000;  // state, sensor, wiring and shpLatch lamps
inline constexpr int LatchNotIdle = 0x000040;
}  // namespace LampColours

// Line index shared by the sensor, latch and timer arrays.
namespace LineIndex {
inline constexpr int Dsr = 0;
inline constexpr int Cts = 1;
inline constexpr int Cd = 2;
inline constexpr int Wiring = 3;  // shpIndicator only
inline constexpr int InputLineCount = 3;
}  // namespace LineIndex
