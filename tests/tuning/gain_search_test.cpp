// The gain searches against a scripted drive: resonance from a rigidity level
// on unless a notch removes it, jitter above a Kv, overshoot above a Kp,
// end vibration until a suppressor is set.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "tuning/gain_search.h"

namespace velmo::tuning {
namespace {

struct ScriptedDrive : SearchOps {
  TuningState& st;
  explicit ScriptedDrive(TuningState& s) : st(s) {}

  // The script.
  uint32_t resonance_from = 99;
  int32_t resonance_hz = 200;
  bool notch_removes = true;
  int32_t jitter_above_kv = INT_MAX;
  int32_t overshoot_above_kp = INT_MAX;
  bool end_vibration = false;
  int stop_after_moves = -1;  // the stop button pressed after this many moves
  std::vector<int> jitter_only_at;     // moves (from 1) whose detection sees a jitter and nothing else
  int32_t response_resonance_hz = 0;   // a resonance every response test's recording shows
  int32_t response_ms = 0;             // every response test's time (0: from Kp)

  // What happened.
  bool notched = false, suppressed = false, stopped = false;
  std::vector<uint32_t> levels;  // each gain_set's level
  std::vector<uint32_t> detected_at;  // the level of each resonance detection
  std::vector<std::pair<GainReg, int32_t>> writes;
  int moves = 0, moves_after_stop = 0, centring = 0, centring_after_stop = 0;
  std::vector<QString> lines;  // log lines; failures end in "!!"

  bool halted() const override { return stopped; }
  void gain_set() override {
    levels.push_back(st.rigidity_level);
    st.pos_loop_gain = static_cast<int32_t>(10 * st.rigidity_level);
    st.speed_loop_gain = static_cast<int32_t>(20 * st.rigidity_level);
    st.integral_time = 250;
  }
  void write_gain(GainReg reg, int32_t value) override { writes.emplace_back(reg, value); }
  void move() {
    ++moves;
    if (stopped) ++moves_after_stop;
    if (stop_after_moves >= 0 && moves >= stop_after_moves) stopped = true;
  }
  void detect_resonance() override {
    move();
    detected_at.push_back(st.rigidity_level);
    st.resonance_found = st.rigidity_level >= resonance_from && !(notched && notch_removes);
    st.resonance_freq = st.resonance_found ? resonance_hz : 0;
    st.jitter_found = st.speed_loop_gain > jitter_above_kv;
    if (std::find(jitter_only_at.begin(), jitter_only_at.end(), moves) != jitter_only_at.end()) {
      st.resonance_found = 0;
      st.resonance_freq = 0;
      st.jitter_found = 1;
    }
  }
  void detect_end_vibration() override {
    move();
    st.endvib_found = end_vibration && !suppressed;
  }
  void set_notch() override {
    notched = true;
    st.notch_result = kNotchSet;
  }
  void reset_notches() override {
    notched = false;
    st.notch_result = kNotchNone;
  }
  void set_suppressor() override { suppressed = true; }
  void reset_suppressors() override { suppressed = false; }
  void response_test() override {
    move();
    st.resonance_found = response_resonance_hz > 0;
    st.resonance_freq = response_resonance_hz;
    st.jitter_found = 0;
    st.peaks_flag = st.torque_flag = st.endvib_found = 0;
    st.overshoot_flag = st.pos_loop_gain > overshoot_above_kp;
    // 248 ms at Kp 10.0, a quarter of that at twice the gain.
    st.response_time = response_ms > 0 ? response_ms : 248 * 100 * 100 / (st.pos_loop_gain * st.pos_loop_gain);
    st.response_met = static_cast<int64_t>(st.response_time) <= st.response_target;
  }
  void test_settings() override {}
  void run_half() override {
    ++centring;
    if (stopped) ++centring_after_stop;
  }
  void delay(int) override {}
  void set_jitter_threshold(int) override {}
  void set_resonance_threshold(int) override {}
  void log(const QString& line) override { lines.push_back(line); }
  void log_failure(const QString& line) override { lines.push_back(line + QStringLiteral("!!")); }

  int32_t last(GainReg reg) const {
    for (auto it = writes.rbegin(); it != writes.rend(); ++it)
      if (it->first == reg) return it->second;
    return -1;
  }
};

struct Rig {
  std::unique_ptr<TuningState> st = std::make_unique<TuningState>();
  ScriptedDrive drive{*st};
  Rig(uint32_t level, uint32_t rigidity_max) {
    st->rigidity_level = level;
    st->rigidity_max = rigidity_max;
    drive.gain_set();
    drive.levels.clear();
  }
};

using Levels = std::vector<uint32_t>;

TEST(SpeedSearch, CoarseRiseAndBackOff) {
  struct Case {
    const char* what;
    int load_class;
    uint32_t start, rigidity_max, resonance_from;
    int32_t hz;
    bool notch_removes;
    Levels levels;
    uint32_t final_level;
  };
  const Case cases[] = {
      // No resonance: up a quarter of the way left per step.
      {"low, to 15", 0, 10, 15, 99, 0, true, {11, 12, 13, 14, 15, 15, 15}, 15},
      {"high, to 30", 2, 10, 30, 99, 0, true, {15, 18, 21, 23, 24, 25, 26, 27, 28, 29, 30, 30}, 30},
      // Resonance at 12, below the notch frequency: two levels back.
      {"low, back-off", 0, 10, 15, 12, 200, true, {11, 12, 10}, 10},
      // Exactly 350 Hz is not above it: back-off too.
      {"low, 350 Hz", 0, 10, 15, 12, 350, true, {11, 12, 10}, 10},
      // A notch that leaves the resonance: back off two levels at a time.
      {"middle, notch fails", 1, 10, 22, 12, 500, false, {15, 13, 11}, 11},
      // A notch that removes it: on to the fine phase, one then two levels up.
      {"low, notch holds", 0, 10, 15, 12, 450, true, {11, 12, 13, 15}, 15},
      // Never below the lowest level, however long the resonance stays.
      {"low, resonance everywhere", 0, 3, 15, 0, 200, true, {1}, 1},
  };
  for (const Case& c : cases) {
    Rig rig(c.start, c.rigidity_max);
    rig.drive.resonance_from = c.resonance_from;
    rig.drive.resonance_hz = c.hz;
    rig.drive.notch_removes = c.notch_removes;
    speed_gain_search(rig.drive, *rig.st, speed_search_variant(c.load_class));
    EXPECT_EQ(rig.drive.levels, c.levels) << c.what;
    EXPECT_EQ(rig.st->rigidity_level, c.final_level) << c.what;
  }
}

TEST(SpeedSearch, FinePhaseCutsKvOnJitterAndKeepsItAboveZero) {
  // A notch already set skips the coarse rise.
  Rig rig(10, 15);
  rig.st->notch_result = kNotchSet;
  rig.drive.jitter_above_kv = 250;  // Kv 20 × level
  speed_gain_search(rig.drive, *rig.st, kLowRigiditySearch);
  EXPECT_EQ(rig.drive.levels, (Levels{11, 13}));
  EXPECT_EQ(rig.st->speed_loop_gain, 260 * 8 / 10);
  EXPECT_EQ(rig.drive.last(GainReg::Kv), 208);

  // Jitter whatever the gain: Kv comes down to 1 and stays there.
  Rig stuck(10, 15);
  stuck.st->notch_result = kNotchSet;
  stuck.drive.jitter_above_kv = -1;
  speed_gain_search(stuck.drive, *stuck.st, kLowRigiditySearch);
  EXPECT_EQ(stuck.st->speed_loop_gain, 1);
  for (auto [reg, value] : stuck.drive.writes) EXPECT_GE(value, 1);
}

TEST(SpeedSearch, BackOffAfterSystemCheckStillTriesTheNextLevel) {
  // The system check backed off for a low resonance: back-off first, then
  // the fine phase tests the level above instead of writing it untested.
  Rig rig(13, 15);
  rig.st->notch_result = kNotchBackedOff;
  rig.drive.resonance_from = 13;
  speed_gain_search(rig.drive, *rig.st, kLowRigiditySearch);
  EXPECT_EQ(rig.drive.levels, (Levels{11, 12, 14}));
  // 14 resonates: the fine phase cuts Kv there instead of rising further.
  EXPECT_LT(rig.st->speed_loop_gain, 20 * 14);
}

TEST(SpeedSearch, AJitterAloneGetsASecondLook) {
  struct Case {
    const char* what;
    int load_class;
    uint32_t start, rigidity_max, resonance_from;
    int32_t hz;
    bool notch_removes;
    int jitter_only_at;
    Levels detections;  // the first ones, at their levels
  };
  const Case cases[] = {
      // Back-off from a resonance at 12 (low) or 15 (a notch that does not
      // remove it) two levels down, where the first look sees only a jitter
      // and the second nothing: the back-off ends there.
      {"low, back-off", 0, 10, 15, 12, 200, true, 4, {10, 11, 12, 10, 10}},
      {"middle, back-off", 1, 10, 22, 15, 500, false, 4, {10, 15, 15, 13, 13}},
      // The notch check after a resonance at 15: a jitter alone is looked at twice.
      {"middle, notch check", 1, 10, 22, 15, 500, true, 3, {10, 15, 15, 15, 16}},
  };
  for (const Case& c : cases) {
    Rig rig(c.start, c.rigidity_max);
    rig.drive.resonance_from = c.resonance_from;
    rig.drive.resonance_hz = c.hz;
    rig.drive.notch_removes = c.notch_removes;
    rig.drive.jitter_only_at = {c.jitter_only_at};
    speed_gain_search(rig.drive, *rig.st, speed_search_variant(c.load_class));
    const Levels& seen = rig.drive.detected_at;
    ASSERT_GE(seen.size(), c.detections.size()) << c.what;
    EXPECT_EQ(Levels(seen.begin(), seen.begin() + static_cast<long>(c.detections.size())), c.detections) << c.what;
  }
}

TEST(SpeedSearch, StopEndsTheLoopsAndTheResultIsStillWritten) {
  Rig rig(10, 30);
  rig.drive.stop_after_moves = 3;
  speed_gain_search(rig.drive, *rig.st, kStiffLoadSearch);
  EXPECT_EQ(rig.drive.moves_after_stop, 0);
  write_speed_search_result(rig.drive, *rig.st);
  EXPECT_EQ(rig.drive.last(GainReg::Rigidity), static_cast<int32_t>(rig.st->rigidity_level));
  EXPECT_EQ(rig.drive.last(GainReg::Kp2), rig.st->pos_loop_gain * 3 / 4);
  EXPECT_EQ(rig.drive.last(GainReg::Kv2), rig.st->speed_loop_gain * 9 / 10);
}

TEST(PositionSearch, RaisesKpTowardsTheTargetAndBacksOffOvershoot) {
  struct Case {
    int32_t overshoot_above;
    int32_t final_kp;
  };
  // Ti 25.0 ms: target 62 ms; 248 ms at Kp 10.0 doubles it to 20.0 (62 ms).
  // Overshoot above 18.0: 20.0 × 7 div 10.
  for (const Case c : {Case{INT_MAX, 200}, Case{180, 140}}) {
    Rig rig(10, 30);
    rig.drive.overshoot_above_kp = c.overshoot_above;
    rig.st->response_target = response_target_for(rig.st->integral_time);
    EXPECT_EQ(rig.st->response_target, 62u);
    position_gain_search(rig.drive, *rig.st);
    EXPECT_EQ(rig.st->pos_loop_gain, c.final_kp);
    EXPECT_EQ(rig.drive.last(GainReg::Kp2), c.final_kp * 3 / 4);
    EXPECT_EQ(rig.drive.centring, 2);
  }
}

TEST(PositionSearch, ATestIsRepeatedOnlyWhenItFoundNothing) {
  // Ti 25.0 ms: target 62 ms. Kp 10.0 answers in 248 ms, then Kp 20.0 in 62 ms
  // and the four confirmations and the last check follow.
  struct Case {
    int32_t resonance_hz;
    int moves;
  };
  // Quiet: each judged test is looked at twice. A resonance above the notch
  // frequency is a finding too: no second look.
  for (const Case c : {Case{0, 2 + 2 + 4 + 1}, Case{450, 1 + 1 + 4 + 1}}) {
    Rig rig(10, 30);
    rig.st->response_target = 62;
    rig.drive.response_resonance_hz = c.resonance_hz;
    position_gain_search(rig.drive, *rig.st);
    EXPECT_EQ(rig.drive.moves, c.moves) << c.resonance_hz;
    EXPECT_EQ(rig.st->pos_loop_gain, 200) << c.resonance_hz;
    ASSERT_FALSE(rig.drive.lines.empty());
    EXPECT_NE(std::find(rig.drive.lines.begin(), rig.drive.lines.end(), QStringLiteral("响应时间:248mS  ")),
              rig.drive.lines.end());
  }
}

TEST(PositionSearch, AKpThatNoLongerChangesGoesToTheConfirmation) {
  struct Case {
    int32_t kp;
    int32_t response_ms;
  };
  // 63 ms against 62: 5.9 × (63/62)^0.5 rounds back to 5.9; at the highest
  // Kp a slow response cannot raise it either.
  for (const Case c : {Case{59, 63}, Case{kKpMax, 248}}) {
    Rig rig(10, 30);
    rig.st->pos_loop_gain = c.kp;
    rig.st->response_target = 62;
    rig.drive.response_ms = c.response_ms;
    position_gain_search(rig.drive, *rig.st);
    // One test and its second look, four confirmations, the last check.
    EXPECT_EQ(rig.drive.moves, 2 + 4 + 1) << c.kp;
    EXPECT_EQ(rig.drive.last(GainReg::Kp), -1) << c.kp;
    EXPECT_EQ(rig.st->pos_loop_gain, c.kp);
    EXPECT_EQ(rig.st->response_met, 0);
    EXPECT_NE(std::find(rig.drive.lines.begin(), rig.drive.lines.end(), QStringLiteral("位置环增益确认中")),
              rig.drive.lines.end());
  }
}

TEST(PositionSearch, StopWritesSetTwoCentresAndMakesNoFurtherMove) {
  for (int stop_at : {1, 2, 3, 5}) {
    Rig rig(10, 30);
    rig.st->response_target = 62;
    rig.drive.stop_after_moves = stop_at;
    position_gain_search(rig.drive, *rig.st);
    EXPECT_EQ(rig.drive.moves, stop_at) << stop_at;
    EXPECT_EQ(rig.drive.moves_after_stop, 0) << stop_at;
    EXPECT_EQ(rig.drive.centring_after_stop, 1) << stop_at;
    EXPECT_EQ(rig.drive.last(GainReg::Kp2), bounded_kp(rig.st->pos_loop_gain * 3 / 4)) << stop_at;
    EXPECT_EQ(rig.drive.last(GainReg::Ti2), 250) << stop_at;
  }
}

TEST(GainArithmetic, BoundsStepsAndTargets) {
  EXPECT_EQ(response_target_for(250), 62u);
  EXPECT_EQ(response_target_for(3), 1u);
  EXPECT_EQ(response_target_for(-8), 1u);
  EXPECT_EQ(kp_for_response(100, 248, 62), 200);
  EXPECT_EQ(kp_for_response(700, 248, 62), 800);
  // Kv below 10 is kept by a 10 % raise; Kp below 10 rises by one.
  EXPECT_EQ(gain_step(kGainSteps[0], 9), 9);
  EXPECT_EQ(gain_step(kGainSteps[0], 100), 110);
  EXPECT_EQ(gain_step(kGainSteps[0], 10000), 10000);
  EXPECT_EQ(gain_step(kGainSteps[1], 1), 1);
  EXPECT_EQ(gain_step(kGainSteps[2], 9), 10);
  EXPECT_EQ(gain_step(kGainSteps[2], 800), 800);
  EXPECT_EQ(gain_step(kGainSteps[3], 5), 4);
  EXPECT_EQ(gain_step(kGainSteps[3], 1), 1);
  EXPECT_EQ(gain_step(kGainSteps[3], 20), 18);
  // Positioning time to rigidity at ratio 1.0: x = (t × 0.4 − 2.5) / 2, 31 − x².
  EXPECT_EQ(syn_gxdj_search(11, 10), 30u);  // x² = 0.9025
  EXPECT_EQ(syn_gxdj_search(20, 10), 23u);  // x² = 7.5625
  EXPECT_EQ(syn_gxdj_search(80, 10), 1u);   // far beyond: the lowest level
  EXPECT_EQ(syn_gxdj_search(1e30, 10), 1u);
  // Jitter thresholds by load class and level.
  EXPECT_EQ(jitter_threshold_for(0, 30), 5);
  EXPECT_EQ(jitter_threshold_for(1, 22), 5);
  EXPECT_EQ(jitter_threshold_for(1, 23), 6);
  EXPECT_EQ(jitter_threshold_for(2, 15), 5);
  EXPECT_EQ(jitter_threshold_for(2, 16), 6);
  EXPECT_EQ(jitter_threshold_for(2, 23), 7);
}

TEST(VibrationChecks, NotchHighResonanceBackOffLowOneSuppressEndVibration) {
  struct Case {
    int32_t hz;
    bool end_vibration;
    uint8_t notch_result;
    bool suppressed;
  };
  for (const Case c : {Case{450, true, 1, true}, Case{200, false, 2, false}, Case{350, true, 0, true}}) {
    Rig rig(10, 30);
    rig.drive.resonance_from = 7;
    rig.drive.resonance_hz = c.hz;
    rig.drive.end_vibration = c.end_vibration;
    system_vibration_search(rig.drive, *rig.st);
    EXPECT_EQ(rig.st->notch_result, c.notch_result) << c.hz;
    EXPECT_EQ(rig.drive.suppressed, c.suppressed) << c.hz;
    EXPECT_EQ(rig.drive.centring, 2) << c.hz;
  }

  Rig res(10, 30);
  res.drive.resonance_from = 9;
  res.drive.resonance_hz = 600;
  resonance_frequency_search(res.drive, *res.st);
  EXPECT_EQ(res.drive.levels, (Levels{5, 7, 9, 10}));
  EXPECT_TRUE(res.drive.notched);

  Rig end(10, 30);
  end.drive.end_vibration = true;
  end.drive.stopped = true;
  end_vibration_search(end.drive, *end.st);
  EXPECT_EQ(end.drive.moves, 0);
  EXPECT_EQ(end.drive.levels, (Levels{10}));
}

TEST(VibrationChecks, AStepClaimsItsFinishOnlyWhenNothingCutItShort) {
  struct Search {
    void (*run)(SearchOps&, TuningState&);
    const char* done;
    const char* stopped;
  };
  const Search searches[] = {
      {&system_vibration_search, "系统振动自学习完成", "系统振动自学习中断!!"},
      {&resonance_frequency_search, "机械共振自学习完成", "机械共振自学习中断!!"},
      {&end_vibration_search, "末端振动自学习完成", "末端振动自学习中断!!"},
  };
  for (const Search& s : searches) {
    for (int stop_after : {-1, 2}) {
      Rig rig(10, 30);
      rig.drive.stop_after_moves = stop_after;
      s.run(rig.drive, *rig.st);
      const QString want = QString::fromUtf8(stop_after < 0 ? s.done : s.stopped);
      EXPECT_TRUE(std::find(rig.drive.lines.begin(), rig.drive.lines.end(), want) != rig.drive.lines.end())
          << want.toStdString();
      const QString other = QString::fromUtf8(stop_after < 0 ? s.stopped : s.done);
      EXPECT_TRUE(std::find(rig.drive.lines.begin(), rig.drive.lines.end(), other) == rig.drive.lines.end())
          << other.toStdString();
    }
  }
}

}  // namespace
}  // namespace velmo::tuning
