#pragma once
#include <cstdint>
#include <optional>

// The stroke-to-pulse rule: a stroke of revs / divisor motor revolutions as
// command pulses, Edit8 x resolution x scale x gear_b / gear_a / divisor,
// truncated to the unit of the place that asks.
namespace velmo::tuning {

enum class StrokeTrigger {
  LeaveTrialField,     // leaving Edit8 or Edit67
  LeaveSelfLearnField, // leaving Edit35 or Edit66
  EnterTrialField,     // Enter in Edit8 or Edit67
  EnterFrequency,      // Enter in Edit68
  RunStart,            // forward, reverse and cyclic runs
  RunHalf,             // run_half
};

enum class StrokeDivisor { Trial, SelfLearn };  // Edit67 or Edit66

struct StrokeRow {
  StrokeTrigger trigger;
  StrokeDivisor divisor;
  uint32_t unit;   // result truncated to a multiple of this
  uint32_t floor;  // a stroke that comes out below this becomes this
};

const StrokeRow& stroke_row(StrokeTrigger trigger);

struct StrokeInput {
  uint32_t revs;        // Edit8
  uint32_t divisor;     // Edit67 or Edit66
  uint32_t resolution;  // servo_resolution
  uint32_t scale;       // servo_resolution_scale
  uint32_t gear_a;
  uint32_t gear_b;
};

// Largest pulse count the move-length register carries (thousands in 16 bits).
inline constexpr uint64_t kMaxStrokePulses = 65535ull * 1000;

// The pulse count, or nothing when the stroke does not fit the move-length
// register (or an input is 0).
std::optional<uint32_t> stroke_pulses(StrokeTrigger trigger, const StrokeInput& in);

// Motor counts a stroke of `pulses` moves: pulses x gear_a / gear_b.
uint64_t stroke_counts(uint64_t pulses, uint32_t gear_a, uint32_t gear_b);

// The settings write's check: a set stroke longer than the safe stroke of
// Edit8 / Edit67 revolutions is cut to it (multiple of 2000).
uint32_t clamp_to_safe_stroke(uint32_t pulses, const StrokeInput& in);

}  // namespace velmo::tuning
