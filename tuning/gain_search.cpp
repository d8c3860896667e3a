#include "tuning/gain_search.h"

#include <algorithm>
#include <cmath>

namespace velmo::tuning {

int32_t bounded_kp(int64_t kp) { return static_cast<int32_t>(std::clamp<int64_t>(kp, kKpMin, kKpMax)); }
int32_t bounded_kv(int64_t kv) { return static_cast<int32_t>(std::clamp<int64_t>(kv, kKvMin, kKvMax)); }

int32_t scaled(int32_t value, int num, int den) {
  return static_cast<int32_t>(static_cast<int64_t>(value) * num / den);
}

int32_t gain_step(const GainStep& step, int32_t value) {
  int64_t next = 0;
  if (step.small_below > 0 && value < step.small_below) {
    next = int64_t{value} + step.small_step;
  } else {
    next = int64_t{value} * step.num / step.den;
  }
  return step.kind == GainKind::Kp ? bounded_kp(next) : bounded_kv(next);
}

int32_t kp_for_response(int32_t kp, int32_t response_time_ms, uint32_t target_ms) {
  if (target_ms == 0 || response_time_ms <= 0) return bounded_kp(kp);
  const float ratio = static_cast<float>(response_time_ms) / static_cast<float>(target_ms);
  const float raised = static_cast<float>(kp) * std::sqrt(ratio);
  return bounded_kp(static_cast<int64_t>(std::nearbyint(raised)));
}

uint32_t response_target_for(int32_t integral_time) {
  // A target of 0 ms would read every response as too slow.
  return static_cast<uint32_t>(std::max<int32_t>(integral_time / 4, 1));
}

uint32_t syn_gxdj_search(double positioning_ms, uint32_t inertia_ratio_x10) {
  float x = static_cast<float>(positioning_ms);
  x = (x * 2.0f / 5.0f - 2.5f) / 2.0f;
  const float k = std::pow(static_cast<float>(inertia_ratio_x10) / 10.0f, 0.68f);
  const float y = (x / k) * (x / k);
  if (!std::isfinite(y)) return kLevelMin;
  const float level = 31.0f - std::nearbyint(std::min(y, 1e6f));
  return static_cast<uint32_t>(std::clamp(level, static_cast<float>(kLevelMin), static_cast<float>(kLevelMax)));
}

namespace {

bool nothing_found(const TuningState& ts) { return ts.resonance_found == 0 && ts.jitter_found == 0; }

void set_level(SearchOps& ops, TuningState& ts, uint32_t level) {
  ts.rigidity_level = std::clamp(level, kLevelMin, kLevelMax);
  ops.gain_set();
}

void cut_kv(SearchOps& ops, TuningState& ts, int percent) {
  ts.speed_loop_gain = bounded_kv(scaled(ts.speed_loop_gain, percent, 100));
  ops.write_gain(GainReg::Kv, ts.speed_loop_gain);
}

void set_kp(SearchOps& ops, TuningState& ts, int64_t kp) {
  ts.pos_loop_gain = bounded_kp(kp);
  ops.write_gain(GainReg::Kp, ts.pos_loop_gain);
}

// The closing line of a step: 完成 only when no stop or failure cut it short.
void log_step_end(SearchOps& ops, const char* step) {
  const QString name = QString::fromUtf8(step);
  if (ops.halted()) {
    ops.log_failure(name + QStringLiteral("中断"));
  } else {
    ops.log(name + QStringLiteral("完成"));
  }
}

// Detection, and a second one when the first saw nothing at all.
void detect_twice_if_quiet(SearchOps& ops, TuningState& ts) {
  ops.detect_resonance();
  if (nothing_found(ts) && !ops.halted()) ops.detect_resonance();
}

// Detection, and a second one when the first saw no resonance: a jitter
// alone is worth a second look before it costs two more levels.
void detect_twice_unless_resonance(SearchOps& ops, TuningState& ts) {
  ops.detect_resonance();
  if (ts.resonance_found == 0 && !ops.halted()) ops.detect_resonance();
}

// Where the speed search stands after each of its phases.
enum class SpeedPhase {
  NothingFound,    // the coarse rise met no resonance, or was skipped
  ResonanceFound,  // the coarse rise ended on a resonance
  NotchHolds,      // a notch removed it
  BackOff,         // it stays: back two levels at a time
  KvCut,           // the fine phase cut Kv
};
}  // namespace

void speed_gain_search(SearchOps& ops, TuningState& ts, const SpeedSearchVariant& v) {
  SpeedPhase s = SpeedPhase::NothingFound;
  ts.search_done = 0;
  const uint32_t bound = v.rise_to_fixed_bound ? kLevelMax : std::clamp(ts.rigidity_max, kLevelMin, kLevelMax);

  // 1. Coarse rise: a quarter of the way left per step.
  for (int k = 0; k < 31 && !ops.halted() && ts.notch_result == kNotchNone; ++k) {
    ops.detect_resonance();
    if (ts.resonance_found) {
      s = SpeedPhase::ResonanceFound;
      break;
    }
    if (bound > ts.rigidity_level) {
      set_level(ops, ts, ts.rigidity_level + std::max<uint32_t>((bound - ts.rigidity_level) / 4, 1));
    } else {
      if (!v.rise_to_fixed_bound) set_level(ops, ts, bound);
      ts.search_done = 1;
      break;
    }
  }

  // 2. Does a notch remove what was found?
  if (s == SpeedPhase::ResonanceFound && !ops.halted()) {
    if (v.notch_any_frequency || ts.resonance_freq > kNotchAboveHz) {
      ops.set_notch();
      if (v.redetect_after_notch) {
        detect_twice_unless_resonance(ops, ts);
      } else {
        ops.detect_resonance();
      }
      s = ts.resonance_found ? SpeedPhase::BackOff : SpeedPhase::NotchHolds;
    } else {
      s = SpeedPhase::BackOff;
    }
  }

  // 3. Back-off, two levels at a time, never below the lowest level.
  if ((s == SpeedPhase::BackOff || ts.notch_result == kNotchBackedOff) && !ops.halted()) {
    ops.reset_notches();
    for (int k = 0; k < 31 && !ops.halted(); ++k) {
      if (ts.rigidity_level <= kLevelMin) break;
      set_level(ops, ts, ts.rigidity_level > kLevelMin + 2 ? ts.rigidity_level - 2 : kLevelMin);
      detect_twice_unless_resonance(ops, ts);
      if (nothing_found(ts)) break;
    }
    // The level above the settled one is still to be tried in the fine phase.
    ts.search_done = 0;
  }

  // 4. Fine phase: small rises, Kv cuts on resonance or jitter.
  if ((s == SpeedPhase::NotchHolds || s == SpeedPhase::NothingFound || ts.notch_result == kNotchSet) &&
      !ops.halted()) {
    const uint32_t top = std::clamp(ts.rigidity_max, kLevelMin, kLevelMax);
    set_level(ops, ts, top > ts.rigidity_level ? ts.rigidity_level + 1 : top);
    for (int k = 0; k < 31 && !ops.halted() && ts.search_done == 0; ++k) {
      detect_twice_if_quiet(ops, ts);
      if (ops.halted()) break;
      if (!nothing_found(ts)) {
        s = SpeedPhase::KvCut;
        cut_kv(ops, ts, v.kv_cut_percent);
      } else if (s == SpeedPhase::KvCut) {
        for (int n = 0; n < v.confirmations_after_cut && !ops.halted(); ++n) {
          ops.detect_resonance();
          if (!nothing_found(ts)) cut_kv(ops, ts, v.kv_cut_percent);
        }
        ts.search_done = 1;
      } else if (ts.rigidity_level < top) {
        set_level(ops, ts, std::min(ts.rigidity_level + 2, top));
      } else {
        ts.search_done = 1;
      }
    }
  }
}

void write_speed_search_result(SearchOps& ops, TuningState& ts) {
  ops.write_gain(GainReg::Rigidity, static_cast<int32_t>(ts.rigidity_level));
  ops.delay(500);
  ops.write_gain(GainReg::Kp, bounded_kp(ts.pos_loop_gain));
  ops.write_gain(GainReg::Kv, bounded_kv(ts.speed_loop_gain));
  ops.write_gain(GainReg::Ti, ts.integral_time);
  ops.write_gain(GainReg::Kp2, bounded_kp(scaled(ts.pos_loop_gain, 3, 4)));
  ops.write_gain(GainReg::Kv2, bounded_kv(scaled(ts.speed_loop_gain, 9, 10)));
  ops.write_gain(GainReg::Ti2, ts.integral_time);
}

namespace {

bool low_resonance_or_jitter(const TuningState& ts) {
  return (ts.resonance_found && ts.resonance_freq < kNotchAboveHz) || ts.jitter_found;
}

bool overshoot_like(const TuningState& ts) {
  return ts.peaks_flag || ts.torque_flag || ts.endvib_found || ts.overshoot_flag;
}

// Any of the six findings, a resonance at or above the notch frequency included.
bool anything_found(const TuningState& ts) { return ts.resonance_found || ts.jitter_found || overshoot_like(ts); }

void confirm_position_gain(SearchOps& ops, TuningState& ts) {
  ops.log(QStringLiteral("位置环增益确认中"));
  for (int k = 0; k < 4 && !ops.halted(); ++k) {
    ops.response_test();
    if (ops.halted()) break;
    if (low_resonance_or_jitter(ts)) {
      cut_kv(ops, ts, 85);
      set_kp(ops, ts, scaled(ts.pos_loop_gain, 95, 100));
    }
    if (ts.peaks_flag || ts.torque_flag || ts.overshoot_flag) set_kp(ops, ts, scaled(ts.pos_loop_gain, 7, 10));
  }
}

}  // namespace

void position_gain_search(SearchOps& ops, TuningState& ts) {
  ts.move_dir = 1;
  ops.run_half();
  ops.test_settings();
  ops.delay(500);

  bool cut = false;
  for (int k = 0; k < 51 && !ops.halted(); ++k) {
    ops.response_test();
    if (!anything_found(ts) && !ops.halted()) ops.response_test();
    // A stopped or failed test judges nothing.
    if (ops.halted()) break;
    if (low_resonance_or_jitter(ts)) cut_kv(ops, ts, 85);
    if (overshoot_like(ts)) {
      set_kp(ops, ts, scaled(ts.pos_loop_gain, 7, 10));
      cut = true;
      continue;
    }
    if (ts.response_met == 1 || cut) {
      confirm_position_gain(ops, ts);
      break;
    }
    ops.log(QStringLiteral("响应时间:%1mS  ").arg(ts.response_time));
    const int32_t kp = static_cast<int64_t>(ts.response_target) < ts.response_time
                           ? kp_for_response(ts.pos_loop_gain, ts.response_time, ts.response_target)
                           : ts.pos_loop_gain;
    // A Kp that no longer changes would only repeat the same test: what it
    // gives is confirmed as measured.
    if (kp == ts.pos_loop_gain) {
      confirm_position_gain(ops, ts);
      break;
    }
    set_kp(ops, ts, kp);
  }

  // Gain set 2 follows set 1 (after a stop or a failure the window's
  // operations write and move nothing).
  ops.write_gain(GainReg::Kp2, bounded_kp(scaled(ts.pos_loop_gain, 3, 4)));
  ops.write_gain(GainReg::Kv2, bounded_kv(scaled(ts.speed_loop_gain, 9, 10)));
  ops.write_gain(GainReg::Ti2, ts.integral_time);
  ops.set_resonance_threshold(kResonanceDbDefault);
  // The last check move only when the search was not stopped.
  if (!ops.halted()) ops.response_test();
  ops.run_half();
}

void system_vibration_search(SearchOps& ops, TuningState& ts) {
  ops.reset_notches();
  ops.reset_suppressors();
  set_level(ops, ts, 3);
  ts.move_dir = 1;
  ops.run_half();
  bool resonance_settled = false, endvib_settled = false;
  ops.log(QStringLiteral("开始系统振动自学习"));
  for (int k = 0; k <= 10 && !ops.halted(); ++k) {
    set_level(ops, ts, ts.rigidity_level + 2);
    if (!resonance_settled) {
      for (uint8_t pass = 0; pass < 2 && !resonance_settled && !ops.halted(); ++pass) {
        ts.resonance_pass = pass;
        ops.detect_resonance();
        if (ts.resonance_found && ts.resonance_freq > kNotchAboveHz) {
          ops.set_notch();
          ts.notch_result = kNotchSet;
          resonance_settled = true;
        }
      }
      if (!resonance_settled && ts.resonance_found && ts.resonance_freq < kNotchAboveHz) {
        set_level(ops, ts, ts.rigidity_level > 2 ? ts.rigidity_level - 2 : kLevelMin);
        resonance_settled = true;
        ts.notch_result = kNotchBackedOff;
      }
    }
    if (!endvib_settled && k < 6 && !ops.halted()) {
      ops.detect_end_vibration();
      if (ts.endvib_found) {
        ops.set_suppressor();
        endvib_settled = true;
      }
    }
    if (resonance_settled && (endvib_settled || k > 2)) break;
  }
  log_step_end(ops, "系统振动自学习");
  ops.run_half();
}

void resonance_frequency_search(SearchOps& ops, TuningState& ts) {
  ops.reset_notches();
  ts.rigidity_level = 3;
  ops.log(QStringLiteral("开始机械共振自学习"));
  bool found = false;
  for (int k = 0; k < 11 && !found && !ops.halted(); ++k) {
    set_level(ops, ts, ts.rigidity_level + 2);
    for (uint8_t pass = 0; pass < 2 && !found && !ops.halted(); ++pass) {
      ts.resonance_pass = pass;
      ops.detect_resonance();
      if (ts.resonance_found) {
        ops.set_notch();
        found = true;
      }
    }
  }
  set_level(ops, ts, 10);
  log_step_end(ops, "机械共振自学习");
}

void end_vibration_search(SearchOps& ops, TuningState& ts) {
  ops.reset_suppressors();
  ts.rigidity_level = 4;
  ops.log(QStringLiteral("开始末端振动自学习"));
  const int steps = ts.load_class == 0 ? 9 : 7;
  for (int k = 0; k < steps && !ops.halted(); ++k) {
    set_level(ops, ts, ts.rigidity_level + 2);
    ops.detect_end_vibration();
    if (ts.endvib_found) {
      ops.set_suppressor();
      break;
    }
  }
  set_level(ops, ts, 10);
  log_step_end(ops, "末端振动自学习");
}

}  // namespace velmo::tuning
