#pragma once
#include <array>
#include <cstdint>

// The automatic searches' fixed data: the speed-loop search variants, the
// jitter thresholds by load class, the gain bounds, the gain steps and the
// stage lamps.
namespace velmo::tuning {

// Gains in tenths as sent to the drive. Cuts never reach 0 and raises never
// leave the range the drive takes.
inline constexpr int32_t kKpMin = 1, kKpMax = 800;
inline constexpr int32_t kKvMin = 1, kKvMax = 10000;
inline constexpr uint32_t kLevelMin = 1, kLevelMax = 30;

// A resonance above this frequency (Hz) is worth a notch; below it the
// searches back off the rigidity instead.
inline constexpr int32_t kNotchAboveHz = 350;

// What the notch filters hold for the speed search (notch_result): reset,
// a notch set on a resonance above kNotchAboveHz, or none because the
// system vibration check backed off for a lower one.
enum NotchResult : uint8_t { kNotchNone = 0, kNotchSet = 1, kNotchBackedOff = 2 };

// Low vs middle/high rigidity load: one speed-loop search, these parameters.
struct SpeedSearchVariant {
  bool rise_to_fixed_bound;    // coarse rise towards kLevelMax, not rigidity_max
  bool notch_any_frequency;    // a first resonance always gets a notch
  bool redetect_after_notch;   // detect once more when the check found none
  int kv_cut_percent;          // Kv cut on resonance or jitter in the fine phase
  int confirmations_after_cut; // further detections once Kv was cut
};
inline constexpr SpeedSearchVariant kLowRigiditySearch{false, false, false, 80, 7};
inline constexpr SpeedSearchVariant kStiffLoadSearch{true, true, true, 90, 0};

inline const SpeedSearchVariant& speed_search_variant(int load_class) {
  return load_class == 0 ? kLowRigiditySearch : kStiffLoadSearch;
}

// Jitter threshold (Edit49) by load class once the rigidity is known: the
// level from which each higher threshold applies.
struct JitterStep {
  uint32_t from_level;
  int threshold;
};
inline constexpr std::array<std::array<JitterStep, 3>, 3> kJitterByLevel{{
    {{{0, 5}, {99, 5}, {99, 5}}},
    {{{0, 5}, {23, 6}, {99, 6}}},
    {{{0, 5}, {16, 6}, {23, 7}}},
}};

inline int jitter_threshold_for(int load_class, uint32_t level) {
  const auto& steps = kJitterByLevel[static_cast<size_t>(load_class < 0 ? 0 : load_class > 2 ? 2 : load_class)];
  int threshold = steps[0].threshold;
  for (const JitterStep& s : steps)
    if (level >= s.from_level) threshold = s.threshold;
  return threshold;
}

// Resonance thresholds (Edit55, dB above the average) the searches set.
inline constexpr int kResonanceDbDefault = 30;
inline constexpr int kResonanceDbPositionSearch = 22;

// Gain steps: value × num div den, with a unit step for small values where
// the row has one.
enum class GainKind { Kp, Kv };
struct GainStep {
  const char* button;
  const char* caption;
  GainKind kind;
  int num, den;
  int small_below;   // values below this take small_step instead (0: none)
  int small_step;
};
inline constexpr GainStep kGainSteps[] = {
    {"Button42", "提高速度环", GainKind::Kv, 11, 10, 0, 0},
    {"Button43", "降低速度环", GainKind::Kv, 9, 10, 0, 0},
    {"Button44", "提高位置环", GainKind::Kp, 11, 10, 10, +1},
    {"Button45", "降低位置环", GainKind::Kp, 9, 10, 10, -1},
};

// Stage lamps, left to right, and the tuning_stage entry each shows.
struct StageLamp {
  const char* name;
  const char* caption;
  int stage;   // -1: the closing lamp, set by the self-learning only
};
inline constexpr StageLamp kStageLamps[] = {
    {"Shape1", "惯量推定", 0},     {"Shape5", "系统振动检测", 4}, {"Shape2", "速度环增益搜索", 1},
    {"Shape3", "位置环增益搜索", 2}, {"Shape4", "完成", -1},
};
inline constexpr int kLampBlinkMs = 500;

// Limits the self-learning sets before it starts (register, value).
inline constexpr std::array<std::array<uint16_t, 2>, 2> kSelfLearnLimits{{{2, 4500}, {3, 300}}};

}  // namespace velmo::tuning
