#pragma once
#include <cstdint>
#include <string>

#include "tuning/tenths_text.h"

namespace velmo::tuning {

// Loop gains in the drive's units of 0.1.
struct LoopGains {
  int32_t pos_loop_gain = 0;    // Kp
  int32_t speed_loop_gain = 0;  // Kv
  int32_t integral_time = 0;    // Ti
};

inline constexpr uint32_t kRigidityMin = 1, kRigidityMax = 30;
inline constexpr uint32_t kInertiaRatioMin = 10, kInertiaRatioMax = 1000;  // ×10
inline constexpr int kLoadClasses = 3;  // 0 low, 1 middle, 2 high rigidity

struct GainFormulaResult {
  bool ok = false;            // false: nothing to write, note says why
  LoopGains gains;
  uint32_t rigidity_level = 0;  // the level used (after clamping)
  uint32_t inertia_ratio = 0;   // the ratio ×10 used (after clamping)
  std::string note;             // UTF-8, empty when the inputs were used as given
};

// The three gains from the rigidity level (1..30), the load class (0..2) and
// the load inertia ratio ×10 (10..1000), in single precision with halves
// rounded to even. A level or ratio out of range is clamped and noted; a load
// class out of range is refused.
GainFormulaResult gain_formula(uint32_t rigidity_level, int load_class, uint32_t inertia_ratio_x10);

}  // namespace velmo::tuning
