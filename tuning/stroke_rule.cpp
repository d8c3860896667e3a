#include "tuning/stroke_rule.h"

#include <array>

namespace velmo::tuning {

namespace {
constexpr std::array<StrokeRow, 6> kRows{{
    {StrokeTrigger::LeaveTrialField, StrokeDivisor::Trial, 1000, 1000},
    {StrokeTrigger::LeaveSelfLearnField, StrokeDivisor::SelfLearn, 2000, 1000},
    {StrokeTrigger::EnterTrialField, StrokeDivisor::Trial, 2000, 2000},
    {StrokeTrigger::EnterFrequency, StrokeDivisor::SelfLearn, 1000, 1000},
    {StrokeTrigger::RunStart, StrokeDivisor::Trial, 1000, 1000},
    // Half of it is moved first, so it stays a whole number of thousands.
    {StrokeTrigger::RunHalf, StrokeDivisor::Trial, 2000, 2000},
}};
}  // namespace

const StrokeRow& stroke_row(StrokeTrigger trigger) {
  for (const StrokeRow& r : kRows)
    if (r.trigger == trigger) return r;
  return kRows.front();
}

std::optional<uint32_t> stroke_pulses(StrokeTrigger trigger, const StrokeInput& in) {
  if (in.divisor == 0 || in.gear_a == 0 || in.gear_b == 0 || in.resolution == 0 || in.scale == 0) return std::nullopt;
  const StrokeRow& row = stroke_row(trigger);
  const uint64_t counts = uint64_t{in.revs} * in.resolution * in.scale;
  uint64_t pulses = counts * in.gear_b / in.gear_a / in.divisor;
  pulses -= pulses % row.unit;
  if (pulses < row.floor) pulses = row.floor;
  if (pulses > kMaxStrokePulses) return std::nullopt;
  return static_cast<uint32_t>(pulses);
}

uint64_t stroke_counts(uint64_t pulses, uint32_t gear_a, uint32_t gear_b) {
  return gear_b == 0 ? 0 : pulses * gear_a / gear_b;
}

uint32_t clamp_to_safe_stroke(uint32_t pulses, const StrokeInput& in) {
  if (in.divisor == 0 || in.gear_a == 0 || in.gear_b == 0) return pulses;
  const uint64_t set_counts = stroke_counts(pulses, in.gear_a, in.gear_b);
  const uint64_t safe_counts = uint64_t{in.revs} * in.resolution * in.scale / in.divisor;
  if (safe_counts >= set_counts) return pulses;
  uint64_t cut = safe_counts * in.gear_b / in.gear_a;
  cut -= cut % 2000;
  return static_cast<uint32_t>(cut);
}

}  // namespace velmo::tuning
