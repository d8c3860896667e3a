#pragma once
#include <cstdint>

namespace velmo::servo::bus_regs {

// Registers every servo drive has for running under RS-485 bus control.
inline constexpr uint16_t kControlSource = 0x0000;  // F0-00
inline constexpr uint16_t kBusControl = 9;          // F0-00 item: RS-485 bus control
inline constexpr uint16_t kMode = 0x1003;           // bus run mode
inline constexpr uint16_t kSpeedMode = 1;
inline constexpr uint16_t kTorqueMode = 2;
inline constexpr uint16_t kCommand = 0x1004;        // 0 stop, 1 forward, 2 reverse, 8 fault reset
inline constexpr uint16_t kSpeed = 0x1006;          // speed mode: rpm
inline constexpr uint16_t kTorqueLimit = 0x1007;    // speed mode: %

}  // namespace velmo::servo::bus_regs
