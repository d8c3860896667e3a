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

bool nothing_found(const DriveLinkState& st) { return st.resonance_found == 0 && st.jitter_found == 0; }

void set_level(SearchOps& ops, DriveLinkState& st, uint32_t level) {
  st.rigidity_level = std::clamp(level, kLevelMin, kLevelMax);
  ops.gain_set();
}

void cut_kv(SearchOps& ops, DriveLinkState& st, int percent) {
  st.speed_loop_gain = bounded_kv(scaled(st.speed_loop_gain, percent, 100));
  ops.write_gain(GainReg::Kv, st.speed_loop_gain);
}

void set_kp(SearchOps& ops, DriveLinkState& st, int64_t kp) {
  st.pos_loop_gain = bounded_kp(kp);
  ops.write_gain(GainReg::Kp, st.pos_loop_gain);
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
void detect_twice_if_quiet(SearchOps& ops, DriveLinkState& st) {
  ops.detect_resonance();
  if (nothing_found(st) && !ops.halted()) ops.detect_resonance();
}

// Detection, and a second one when the first saw no resonance: a jitter
// alone is worth a second look before it costs two more levels.
void detect_twice_unless_resonance(SearchOps& ops, DriveLinkState& st) {
  ops.detect_resonance();
  if (st.resonance_found == 0 && !ops.halted()) ops.detect_resonance();
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

void speed_gain_search(SearchOps& ops, DriveLinkState& st, const SpeedSearchVariant& v) {
  SpeedPhase s = SpeedPhase::NothingFound;
  st.search_done = 0;
  const uint32_t bound = v.rise_to_fixed_bound ? kLevelMax : std::clamp(st.rigidity_max, kLevelMin, kLevelMax);

  // 1. Coarse rise: a quarter of the way left per step.
  for (int k = 0; k < 31 && !ops.halted() && st.notch_result == kNotchNone; ++k) {
    ops.detect_resonance();
    if (st.resonance_found) {
      s = SpeedPhase::ResonanceFound;
      break;
    }
    if (bound > st.rigidity_level) {
      set_level(ops, st, st.rigidity_level + std::max<uint32_t>((bound - st.rigidity_level) / 4, 1));
    } else {
      if (!v.rise_to_fixed_bound) set_level(ops, st, bound);
      st.search_done = 1;
      break;
    }
  }

  // 2. Does a notch remove what was found?
  if (s == SpeedPhase::ResonanceFound && !ops.halted()) {
    if (v.notch_any_frequency || st.resonance_freq > kNotchAboveHz) {
      ops.set_notch();
      if (v.redetect_after_notch) {
        detect_twice_unless_resonance(ops, st);
      } else {
        ops.detect_resonance();
      }
      s = st.resonance_found ? SpeedPhase::BackOff : SpeedPhase::NotchHolds;
    } else {
      s = SpeedPhase::BackOff;
    }
  }

  // 3. Back-off, two levels at a time, never below the lowest level.
  if ((s == SpeedPhase::BackOff || st.notch_result == kNotchBackedOff) && !ops.halted()) {
    ops.reset_notches();
    for (int k = 0; k < 31 && !ops.halted(); ++k) {
      if (st.rigidity_level <= kLevelMin) break;
      set_level(ops, st, st.rigidity_level > kLevelMin + 2 ? st.rigidity_level - 2 : kLevelMin);
      detect_twice_unless_resonance(ops, st);
      if (nothing_found(st)) break;
    }
    // The level above the settled one is still to be tried in the fine phase.
    st.search_done = 0;
  }

  // 4. Fine phase: small rises, Kv cuts on resonance or jitter.
  if ((s == SpeedPhase::NotchHolds || s == SpeedPhase::NothingFound || st.notch_result == kNotchSet) &&
      !ops.halted()) {
    const uint32_t top = std::clamp(st.rigidity_max, kLevelMin, kLevelMax);
    set_level(ops, st, top > st.rigidity_level ? st.rigidity_level + 1 : top);
    for (int k = 0; k < 31 && !ops.halted() && st.search_done == 0; ++k) {
      detect_twice_if_quiet(ops, st);
      if (ops.halted()) break;
      if (!nothing_found(st)) {
        s = SpeedPhase::KvCut;
        cut_kv(ops, st, v.kv_cut_percent);
      } else if (s == SpeedPhase::KvCut) {
        for (int n = 0; n < v.confirmations_after_cut && !ops.halted(); ++n) {
          ops.detect_resonance();
          if (!nothing_found(st)) cut_kv(ops, st, v.kv_cut_percent);
        }
        st.search_done = 1;
      } else if (st.rigidity_level < top) {
        set_level(ops, st, std::min(st.rigidity_level + 2, top));
      } else {
        st.search_done = 1;
      }
    }
  }
}

void write_speed_search_result(SearchOps& ops, DriveLinkState& st) {
  ops.write_gain(GainReg::Rigidity, static_cast<int32_t>(st.rigidity_level));
  ops.delay(500);
  ops.write_gain(GainReg::Kp, bounded_kp(st.pos_loop_gain));
  ops.write_gain(GainReg::Kv, bounded_kv(st.speed_loop_gain));
  ops.write_gain(GainReg::Ti, st.integral_time);
  ops.write_gain(GainReg::Kp2, bounded_kp(scaled(st.pos_loop_gain, 3, 4)));
  ops.write_gain(GainReg::Kv2, bounded_kv(scaled(st.speed_loop_gain, 9, 10)));
  ops.write_gain(GainReg::Ti2, st.integral_time);
}

namespace {

bool low_resonance_or_jitter(const DriveLinkState& st) {
  return (st.resonance_found && st.resonance_freq < kNotchAboveHz) || st.jitter_found;
}

bool overshoot_like(const DriveLinkState& st) {
  return st.peaks_flag || st.torque_flag || st.endvib_found || st.overshoot_flag;
}

// Any of the six findings, a resonance at or above the notch frequency included.
bool anything_found(const DriveLinkState& st) { return st.resonance_found || st.jitter_found || overshoot_like(st); }

void confirm_position_gain(SearchOps& ops, DriveLinkState& st) {
  ops.log(QStringLiteral("位置环增益确认中"));
  for (int k = 0; k < 4 && !ops.halted(); ++k) {
    ops.response_test();
    if (ops.halted()) break;
    if (low_resonance_or_jitter(st)) {
      cut_kv(ops, st, 85);
      set_kp(ops, st, scaled(st.pos_loop_gain, 95, 100));
    }
    if (st.peaks_flag || st.torque_flag || st.overshoot_flag) set_kp(ops, st, scaled(st.pos_loop_gain, 7, 10));
  }
}

}  // namespace

void position_gain_search(SearchOps& ops, DriveLinkState& st) {
  st.move_dir = 1;
  ops.run_half();
  ops.test_settings();
  ops.delay(500);

  bool cut = false;
  for (int k = 0; k < 51 && !ops.halted(); ++k) {
    ops.response_test();
    if (!anything_found(st) && !ops.halted()) ops.response_test();
    // A stopped or failed test judges nothing.
    if (ops.halted()) break;
    if (low_resonance_or_jitter(st)) cut_kv(ops, st, 85);
    if (overshoot_like(st)) {
      set_kp(ops, st, scaled(st.pos_loop_gain, 7, 10));
      cut = true;
      continue;
    }
    if (st.response_met == 1 || cut) {
      confirm_position_gain(ops, st);
      break;
    }
    ops.log(QStringLiteral("响应时间:%1mS  ").arg(st.response_time));
    if (static_cast<int64_t>(st.response_target) < st.response_time)
      set_kp(ops, st, kp_for_response(st.pos_loop_gain, st.response_time, st.response_target));
  }

  // Gain set 2 follows set 1 whether or not the search ran to its end.
  ops.write_gain(GainReg::Kp2, bounded_kp(scaled(st.pos_loop_gain, 3, 4)));
  ops.write_gain(GainReg::Kv2, bounded_kv(scaled(st.speed_loop_gain, 9, 10)));
  ops.write_gain(GainReg::Ti2, st.integral_time);
  ops.set_resonance_threshold(kResonanceDbDefault);
  // The last check move only when the search was not stopped.
  if (!ops.halted()) ops.response_test();
  ops.run_half();
}

void system_vibration_search(SearchOps& ops, DriveLinkState& st) {
  ops.reset_notches();
  ops.reset_suppressors();
  set_level(ops, st, 3);
  st.move_dir = 1;
  ops.run_half();
  bool resonance_settled = false, endvib_settled = false;
  ops.log(QStringLiteral("开始系统振动自学习"));
  for (int k = 0; k <= 10 && !ops.halted(); ++k) {
    set_level(ops, st, st.rigidity_level + 2);
    if (!resonance_settled) {
      for (uint8_t pass = 0; pass < 2 && !resonance_settled && !ops.halted(); ++pass) {
        st.resonance_pass = pass;
        ops.detect_resonance();
        if (st.resonance_found && st.resonance_freq > kNotchAboveHz) {
          ops.set_notch();
          st.notch_result = kNotchSet;
          resonance_settled = true;
        }
      }
      if (!resonance_settled && st.resonance_found && st.resonance_freq < kNotchAboveHz) {
        set_level(ops, st, st.rigidity_level > 2 ? st.rigidity_level - 2 : kLevelMin);
        resonance_settled = true;
        st.notch_result = kNotchBackedOff;
      }
    }
    if (!endvib_settled && k < 6 && !ops.halted()) {
      ops.detect_end_vibration();
      if (st.endvib_found) {
        ops.set_suppressor();
        endvib_settled = true;
      }
    }
    if (resonance_settled && (endvib_settled || k > 2)) break;
  }
  log_step_end(ops, "系统振动自学习");
  ops.run_half();
}

void resonance_frequency_search(SearchOps& ops, DriveLinkState& st) {
  ops.reset_notches();
  st.rigidity_level = 3;
  ops.log(QStringLiteral("开始机械共振自学习"));
  bool found = false;
  for (int k = 0; k < 11 && !found && !ops.halted(); ++k) {
    set_level(ops, st, st.rigidity_level + 2);
    for (uint8_t pass = 0; pass < 2 && !found && !ops.halted(); ++pass) {
      st.resonance_pass = pass;
      ops.detect_resonance();
      if (st.resonance_found) {
        ops.set_notch();
        found = true;
      }
    }
  }
  set_level(ops, st, 10);
  log_step_end(ops, "机械共振自学习");
}

void end_vibration_search(SearchOps& ops, DriveLinkState& st) {
  ops.reset_suppressors();
  st.rigidity_level = 4;
  ops.log(QStringLiteral("开始末端振动自学习"));
  const int steps = st.load_class == 0 ? 9 : 7;
  for (int k = 0; k < steps && !ops.halted(); ++k) {
    set_level(ops, st, st.rigidity_level + 2);
    ops.detect_end_vibration();
    if (st.endvib_found) {
      ops.set_suppressor();
      break;
    }
  }
  set_level(ops, st, 10);
  log_step_end(ops, "末端振动自学习");
}

}  // namespace velmo::tuning
