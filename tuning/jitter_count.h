#pragma once
#include <cstdint>
#include <span>

namespace velmo::tuning {

// Half-width of the rise-then-fall pattern the jitter count looks for.
inline constexpr int kJitterPatternWidth = 4;

struct JitterCount {
  int32_t amplitude_threshold = 0;  // a step larger than this counts
  int step_count = 0;               // steps above the threshold
  int result = 0;                   // 50 for more than 40 such steps, plus one per rise-then-fall
  bool found = false;               // result above the limit
};

// Counts the fluctuations of a window of speed or position samples; jitter is
// found when the result exceeds limit.
JitterCount count_jitter(std::span<const int32_t> window, int limit);

}  // namespace velmo::tuning
