#include "tuning/position_response.h"

#include <algorithm>

namespace velmo::tuning {
namespace {

// A move has begun once it passes this many counts.
constexpr int32_t kStartCounts = 3;
// Settled-position scan: from this sample, windows of this many steps two
// samples apart; more falling steps than the limit is a peak or a valley.
constexpr std::size_t kSettledFrom = 1000, kScanSteps = 20, kScanFallLimit = 16;

}  // namespace

uint32_t move_time_ms(uint32_t pulses, uint32_t pulses_per_ms) { return pulses / std::max(pulses_per_ms, 1U); }

uint32_t capped_test_pulses(uint32_t pulses, uint32_t pulses_per_ms, uint32_t max_ms, uint32_t multiple) {
  if (move_time_ms(pulses, pulses_per_ms) <= max_ms) return pulses;
  multiple = std::max(multiple, 1U);
  const uint64_t capped = uint64_t{max_ms} * std::max(pulses_per_ms, 1U) / multiple * multiple;
  return static_cast<uint32_t>(std::clamp<uint64_t>(capped, multiple, UINT32_MAX / multiple * multiple));
}

int64_t stroke_counts(uint32_t pulses, uint32_t gear_a, uint32_t gear_b, uint32_t scale) {
  return int64_t{pulses} * std::max(gear_a, 1U) / std::max(gear_b, 1U) / std::max(scale, 1U);
}

ResponseEvaluation evaluate_position_response(std::span<const int32_t> pos_rel, std::optional<int32_t> peak_torque,
                                              const ResponseLimits& limits) {
  ResponseEvaluation e;
  if (!peak_torque) {
    e.reason = "最大转矩读取失败";
    return e;
  }
  if (pos_rel.size() < 2 || limits.target_counts <= 0) {
    e.reason = "没有可评价的位置数据";
    return e;
  }
  // The last sample is padding; the evaluation stops before it.
  const std::span<const int32_t> p = pos_rel.first(pos_rel.size() - 1);
  const auto started = std::find_if(p.begin(), p.end(), [](int32_t v) { return v > kStartCounts; });
  if (started == p.end()) {
    e.reason = "位置数据中没有运转";
    return e;
  }
  e.valid = true;
  e.torque_flag = *peak_torque > limits.torque_limit;

  const int64_t target = limits.target_counts;
  e.reach_level = target * 998 / 1000;
  e.max_position = std::max<int64_t>(0, *std::max_element(p.begin(), p.end()));
  if (e.max_position > target) {
    e.overshoot = e.max_position - target;
    e.overshoot_flag = e.overshoot > limits.overshoot_limit;
  }

  const auto s = started - p.begin();
  const auto reached = std::find_if(p.begin(), p.end(), [&](int32_t v) { return v > e.reach_level; });
  const auto r = reached == p.end() ? static_cast<std::ptrdiff_t>(p.size()) - 1 : reached - p.begin();
  e.response_time = static_cast<int32_t>((r - s) / kSamplesPerMs - static_cast<int64_t>(limits.move_time_ms));
  e.response_met = e.response_time <= limits.response_target_ms;

  for (std::size_t i = kSettledFrom; i + 40 <= pos_rel.size() && !e.peaks_flag; ++i) {
    std::size_t falls = 0;
    for (std::size_t j = 0; j < kScanSteps; ++j)
      if (pos_rel[i + j + 2] < pos_rel[i + j]) ++falls;
    e.peaks_flag = falls > kScanFallLimit;
  }
  return e;
}

}  // namespace velmo::tuning
