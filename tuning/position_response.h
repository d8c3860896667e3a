#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace velmo::tuning {

// Recording samples per millisecond.
inline constexpr int kSamplesPerMs = 5;

// Test-move time in ms: pulses at pulses_per_ms (a rate of 0 taken as 1).
uint32_t move_time_ms(uint32_t pulses, uint32_t pulses_per_ms);

// Pulses of a test move whose time must stay within max_ms: unchanged when it
// does, else max_ms × rate truncated to a multiple of `multiple` (never 0).
uint32_t capped_test_pulses(uint32_t pulses, uint32_t pulses_per_ms, uint32_t max_ms, uint32_t multiple);

// Motor counts of a stroke of `pulses` command pulses on the recording's
// scale: pulses × gear_a / gear_b / scale, 64-bit; a zero term is taken as 1.
int64_t stroke_counts(uint32_t pulses, uint32_t gear_a, uint32_t gear_b, uint32_t scale);

struct ResponseLimits {
  int64_t target_counts = 0;     // stroke_counts() of the move
  uint32_t move_time_ms = 0;     // subtracted from the measured response
  int64_t overshoot_limit = 20;  // counts
  int32_t torque_limit = 240;    // % of rated torque
  int32_t response_target_ms = 80;
};

struct ResponseEvaluation {
  bool valid = false;        // false: no result may be shown; reason says why
  std::string reason;        // UTF-8
  int64_t reach_level = 0;   // target × 998 / 1000
  int64_t max_position = 0;  // largest sample, not below 0
  int64_t overshoot = 0;     // counts past the target, 0 when none
  int32_t response_time = 0; // ms beyond the commanded move time
  bool torque_flag = false;
  bool overshoot_flag = false;
  bool response_met = false;
  bool peaks_flag = false;
};

// Judges one recorded move (pos_rel of the capture, move made positive) and
// the peak torque read after it (nullopt when the read failed). The result is
// invalid when the torque is missing, the target is not positive, the
// recording is shorter than 2 samples or shows no move (never past 3 counts).
ResponseEvaluation evaluate_position_response(std::span<const int32_t> pos_rel, std::optional<int32_t> peak_torque,
                                              const ResponseLimits& limits);

}  // namespace velmo::tuning
