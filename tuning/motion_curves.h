#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmo::tuning {

// The drive records the motor position at this rate during a test move.
inline constexpr int kRecordingRateHz = 5000;

// The recording as it arrives: four bytes a sample, most significant first,
// each a 32-bit position that wraps. Only whole samples are decoded.
std::vector<int32_t> recorded_samples(std::span<const uint8_t> bytes, std::size_t count);

// The curves of one recorded move.
struct MotionCurves {
  std::vector<int32_t> pos_rel;    // position from the start, the move made positive
  std::vector<int32_t> pos_diff;   // per-sample difference, one fewer than pos_rel
  std::vector<int32_t> speed_rpm;  // one point per curve step
  std::vector<double> ang_speed;   // rad/s, the same points
  std::vector<double> accel;       // rad/s², between neighbouring speed points
  double peak_accel = 0;           // largest acceleration or deceleration, ≥ 0
  std::size_t start_index = 0;     // the sample before the motor first left the start
  std::size_t positioning_start = 0;  // first sample past 80 % of the final position
  uint32_t last_revolutions = 0;   // final recorded position, whole revolutions
  uint32_t last_counts = 0;        // and the counts left over
};

// Derives the curves from the recorded positions. `step` is the curve step in
// samples (at least 2, else no speed points), `pulses_per_rev` the identified
// motor's resolution (0 taken as 131072). Fewer than 3 samples give empty curves.
MotionCurves derive_motion_curves(std::span<const int32_t> samples, uint32_t step, uint32_t pulses_per_rev);

}  // namespace velmo::tuning
