#include "tuning/inertia_estimate.h"

#include <algorithm>
#include <cmath>

#include "tuning/gain_formula.h"
#include "tuning/tenths_text.h"

namespace velmo::tuning {
namespace {

constexpr int kRunsPerFrequency = kInertiaRuns / 2;

// Rate steps are whole tens of pulses per ms, 10 .. the highest rate.
uint32_t rate_step(uint64_t v) {
  return static_cast<uint32_t>(std::clamp<uint64_t>(v / 10 * 10, 10, kMaxPulseRate));
}

}  // namespace

bool ratio_at_limit(uint32_t ratio_x10) { return ratio_x10 >= kInertiaRatioMax; }

QString ratio_text(uint32_t ratio_x10) {
  const QString shown = QString::fromStdString(tenths_text(ratio_x10));
  return ratio_at_limit(ratio_x10) ? shown + QStringLiteral("（上限）") : shown;
}

uint32_t frequency_step_base(uint32_t gear_a, uint32_t gear_b) {
  return rate_step(uint64_t{std::max(gear_b, 1U)} * 300 / std::max(gear_a, 1U));
}

int32_t raise_threshold(const std::array<int32_t, kInertiaRuns>& torques) {
  int64_t sum = 0;
  for (int i = 0; i < kRunsPerFrequency; ++i) sum += torques[i];
  return static_cast<int32_t>(sum / kRunsPerFrequency + 50);
}

uint32_t next_frequency_step(int32_t threshold, int32_t torque, uint32_t base) {
  const int64_t shortfall = std::max<int64_t>(int64_t{threshold} - torque, 0);
  return rate_step(static_cast<uint64_t>(shortfall) * base / 10);
}

InertiaEstimate estimate_inertia(const std::array<double, kInertiaRuns>& peak_accel,
                                 const std::array<int32_t, kInertiaRuns>& peak_torque, RatedTorque rated,
                                 double rotor_inertia) {
  InertiaEstimate e;
  double delta_accel = 0;
  int64_t delta_torque = 0;
  for (int i = 0; i < kRunsPerFrequency; ++i) {
    delta_accel += peak_accel[i + kRunsPerFrequency] - peak_accel[i];
    delta_torque += int64_t{peak_torque[i + kRunsPerFrequency]} - peak_torque[i];
  }
  if (!(delta_accel > 0) || delta_torque <= 0) {
    e.reason = "加速度或转矩没有随频率增加";
    return e;
  }
  if (rated.numerator <= 0 || rated.divisor <= 0 || !(rotor_inertia > 0)) {
    e.reason = "电机额定转矩或转子惯量无效";
    return e;
  }
  // Torque in % of rated: J = T / α, in 10^-6 kg·m².
  e.system_inertia =
      static_cast<double>(rated.numerator * 10000 * delta_torque) / delta_accel / static_cast<double>(rated.divisor);
  e.system_inertia_rounded = static_cast<int64_t>(std::nearbyint(e.system_inertia));
  const double ratio = std::nearbyint(e.system_inertia * 10 / rotor_inertia);
  e.inertia_ratio = static_cast<uint32_t>(
      std::clamp(ratio, static_cast<double>(kInertiaRatioMin), static_cast<double>(kInertiaRatioMax)));
  e.ok = true;
  return e;
}

}  // namespace velmo::tuning
