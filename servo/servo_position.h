#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace velmo::servo {

// A drive position travels as two registers, low word first, each word high
// byte first; the value is unsigned 32-bit and wraps.
uint32_t position_from_words(const uint8_t* four_bytes);

// The positions of a function-03 reply: data starts at byte 3.
template <std::size_t N>
std::array<uint32_t, N> positions_from_reply(const uint8_t* reply) {
  std::array<uint32_t, N> out{};
  for (std::size_t k = 0; k < N; ++k) out[k] = position_from_words(reply + 3 + 4 * k);
  return out;
}

// Whole revolutions and the counts left over, for the encoder's pulses per
// revolution. A resolution of 0 (never read) is taken as the default 131072
// rather than dividing by zero.
struct Revolutions {
  uint32_t revolutions;
  uint32_t counts;
};
Revolutions split_position(uint32_t value, uint32_t resolution);

inline constexpr uint32_t kDefaultResolution = 131072;

}  // namespace velmo::servo
