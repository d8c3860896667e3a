#pragma once
#include <cstdint>

// Where the drive keeps its notch filters and end-vibration suppressors, by
// menu layout: group g's registers start at first + stride × g.
namespace velmo::tuning {

struct FilterBank {
  uint16_t first;    // frequency register of group 0
  uint16_t stride;   // registers between groups
  uint8_t groups;
  int8_t width_at;   // offset of the notch width from the frequency, -1: none
  int8_t depth_at;   // offset of the depth, -1: none
  uint16_t read_words;  // words read when the group is selected
};

struct FilterLayout {
  FilterBank notch;       // frequency in Hz, width and depth 0..10
  FilterBank suppressor;  // frequency and depth in tenths
};

inline constexpr FilterLayout kFilterLayout1{{71, 3, 4, 1, 2, 3}, {91, 3, 2, -1, 1, 2}};
inline constexpr FilterLayout kFilterLayout2{{80, 2, 4, 1, -1, 2}, {90, 2, 2, -1, 1, 2}};

// Layout 1 for servo_subtype 1, layout 2 for any other value.
inline const FilterLayout& filter_layout(uint32_t servo_subtype) {
  return servo_subtype == 1 ? kFilterLayout1 : kFilterLayout2;
}

struct FilterRegisters {
  uint16_t frequency = 0;
  int32_t width = -1;  // -1: the bank has none
  int32_t depth = -1;
};

inline FilterRegisters filter_registers(const FilterBank& bank, int group) {
  const auto f = static_cast<uint16_t>(bank.first + bank.stride * group);
  return {f, bank.width_at < 0 ? -1 : f + bank.width_at, bank.depth_at < 0 ? -1 : f + bank.depth_at};
}

// Values a notch takes when set on a detected resonance and when reset.
inline constexpr int kNotchSetWidth = 10, kNotchSetDepth = 10;
inline constexpr int kNotchResetFrequency = 2500;
// A suppressor set on detected end vibration gets this depth (tenths).
inline constexpr int kSuppressorSetDepth = 80;

}  // namespace velmo::tuning
