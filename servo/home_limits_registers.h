#pragma once
#include <array>
#include <cstdint>

namespace velmo::servo {

// Registers the home point and limit window works with besides the bus-control
// ones (servo_bus_registers.h). The position registers are the same on every
// servo; the home and limit parameters sit one register apart in the two menu
// layouts.
namespace jog_regs {
inline constexpr uint16_t kPositions = 0x2010;      // current, home, forward, reverse limit
inline constexpr uint16_t kPositionCount = 4;       // 32-bit values, two registers each
inline constexpr uint16_t kTakeCurrentPosition = 2; // written to a home or limit parameter
}  // namespace jog_regs

// Values of the bus command register.
enum class JogCommand : uint16_t { Stop = 0, Forward = 1, Reverse = 2 };

enum class HomeLimitPoint { Home, ForwardLimit, ReverseLimit };

// The home and limit parameters of one menu layout.
struct HomeLimitLayout {
  uint16_t home;
  uint16_t forward_limit;
  uint16_t reverse_limit;
  uint16_t register_of(HomeLimitPoint point) const;
  // Function 16 from the home register over all three clears them.
  uint16_t clear_first() const { return home; }
};

// Menu variant 1 selects layout 1 (F1-05..F1-07); any other layout 2 (F1-06..F1-08).
const HomeLimitLayout& home_limit_layout(uint32_t servo_subtype);

}  // namespace velmo::servo
