#include "servo/servo_position.h"

namespace velmo::servo {

uint32_t position_from_words(const uint8_t* b) {
  const uint32_t low = (uint32_t{b[0]} << 8) | b[1];
  const uint32_t high = (uint32_t{b[2]} << 8) | b[3];
  return (high << 16) | low;
}

Revolutions split_position(uint32_t value, uint32_t resolution) {
  if (resolution == 0) resolution = kDefaultResolution;
  return {value / resolution, value % resolution};
}

}  // namespace velmo::servo
