#pragma once
#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace velmo::tuning {

inline constexpr int kInertiaRuns = 8;      // four at the start frequency, four at the raised one
inline constexpr uint32_t kMaxPulseRate = 5000;  // pulses per ms the raising may reach

// Step of the pulse-frequency raising: gear_b × 300 / gear_a in tens, at least
// 10 (a zero gear term taken as 1).
uint32_t frequency_step_base(uint32_t gear_a, uint32_t gear_b);

// Peak torque the raised frequency must exceed: the mean of the first four
// runs' torques plus 50.
int32_t raise_threshold(const std::array<int32_t, kInertiaRuns>& torques);

// The next raising step after a trial that reached `torque` below the
// threshold: (threshold - torque) × base / 10 in tens, at least 10.
uint32_t next_frequency_step(int32_t threshold, int32_t torque, uint32_t base);

// An estimate held at the highest ratio the drive takes: the real ratio may
// be anything above it, and the estimate is not to be trusted.
bool ratio_at_limit(uint32_t ratio_x10);
// The ratio as shown: "12.5", or "100.0（上限）" at the limit.
QString ratio_text(uint32_t ratio_x10);

struct RatedTorque {
  int64_t numerator = 0;  // rated torque is numerator / divisor N·m
  int64_t divisor = 0;
};

struct InertiaEstimate {
  bool ok = false;             // false: write nothing; reason says why
  std::string reason;          // UTF-8
  double system_inertia = 0;   // 10^-6 kg·m²
  int64_t system_inertia_rounded = 0;
  uint32_t inertia_ratio = 0;  // ×10, within 10..1000
};

// System inertia from four runs at each frequency: the torque difference
// (percent of rated torque) over the peak-acceleration difference (rad/s²),
// and its ratio to the rotor's inertia (10^-6 kg·m²). Every torque must come
// from an accepted read; the caller ends the estimation otherwise. Refused
// when either difference is not positive or a motor figure is not positive.
InertiaEstimate estimate_inertia(const std::array<double, kInertiaRuns>& peak_accel,
                                 const std::array<int32_t, kInertiaRuns>& peak_torque, RatedTorque rated,
                                 double rotor_inertia);

}  // namespace velmo::tuning
