#include "tuning/gain_formula.h"

#include <algorithm>
#include <cmath>

namespace velmo::tuning {
namespace {

struct LoadConstants {
  float a, b, d;
};
const LoadConstants kLoads[kLoadClasses] = {{200, 120, 15}, {200, 180, 20}, {200, 270, 35}};

int32_t round_even(float v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

GainFormulaResult gain_formula(uint32_t rigidity_level, int load_class, uint32_t inertia_ratio_x10) {
  GainFormulaResult r;
  if (load_class < 0 || load_class >= kLoadClasses) {
    r.note = "负载类型" + std::to_string(load_class + 1) + "超出范围1~3，增益未计算";
    return r;
  }
  r.rigidity_level = std::clamp(rigidity_level, kRigidityMin, kRigidityMax);
  r.inertia_ratio = std::clamp(inertia_ratio_x10, kInertiaRatioMin, kInertiaRatioMax);
  if (r.rigidity_level != rigidity_level)
    r.note = "系统刚性" + std::to_string(rigidity_level) + "超出范围1~30，按" + std::to_string(r.rigidity_level) + "计算";
  if (r.inertia_ratio != inertia_ratio_x10) {
    if (!r.note.empty()) r.note += "；";
    r.note += "惯量比" + tenths_text(inertia_ratio_x10) +
              "超出范围1.0~100.0，按" + tenths_text(r.inertia_ratio) + "计算";
  }

  const LoadConstants& c = kLoads[load_class];
  const float level = static_cast<float>(r.rigidity_level);
  const float k = std::pow(static_cast<float>(r.inertia_ratio) / 10.0f, 0.68f);
  const float s = std::sqrt(31.0f - level);
  const float ti = k * s * 20.0f + 25.0f;
  const float kv = (c.a + level * c.b) / k;
  const float kp = kv / (c.d + k);
  r.gains.integral_time = round_even(ti);
  r.gains.speed_loop_gain = round_even(kv);
  r.gains.pos_loop_gain = std::max(round_even(kp), 1);
  r.ok = true;
  return r;
}

}  // namespace velmo::tuning
