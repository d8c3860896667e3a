#include "tuning/jitter_count.h"

#include <algorithm>
#include <cstdlib>

namespace velmo::tuning {

JitterCount count_jitter(std::span<const int32_t> b, int limit) {
  JitterCount j;
  const std::size_t n = b.size();
  int32_t largest = 0;
  for (int32_t v : b) largest = std::max(largest, v);
  j.amplitude_threshold = largest / 140 + 15;

  for (std::size_t i = 0; i + 1 < n; ++i)
    if (std::llabs(int64_t{b[i + 1]} - b[i]) > j.amplitude_threshold) ++j.step_count;
  j.result = j.step_count > 40 ? 50 : 0;

  // A sample that most of its five predecessors rise to and most of its five
  // successors fall from.
  constexpr std::size_t span = kJitterPatternWidth + 1;
  for (std::size_t c = span; c + span < n; ++c) {
    int rises = 0, falls = 0;
    for (std::size_t k = 0; k < span; ++k) {
      if (b[c - span + k + 1] > b[c - span + k]) ++rises;
      if (b[c + k] > b[c + k + 1]) ++falls;
    }
    if (rises > kJitterPatternWidth - 1 && falls > kJitterPatternWidth - 1) ++j.result;
  }
  j.found = j.result > limit;
  return j;
}

}  // namespace velmo::tuning
