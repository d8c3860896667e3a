// The analyses end to end on the simulated servo, whose mechanics make the
// phenomena for real: a resonance found and notched, end vibration found
// and suppressed, the response test following the position gain, and the
// load inertia estimated from eight runs.
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "link/clock_timer.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "tuning/tuning_chart.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using tuning::TuningChart;

class AnalysisOnSimTest : public GainTuningTest {
 protected:
  // Station 2 (layout 2) with a 131072-count motor that stays servo-on.
  void SetUp() override {
    GainTuningTest::SetUp();
    use(2);
    rig.servo(2).set_motor_code(6002);
    window->Button23Click();
  }
  void axis(const sim::ServoMechanics& m, int ratio_x10, int kp, int kv, int ti) {
    rig.servo(2).set_mechanics(m);
    for (auto [r, v] : {std::pair{52, ratio_x10}, {55, kp}, {56, kv}, {57, ti}})
      rig.servo(2).set_reg(static_cast<uint16_t>(r), static_cast<uint16_t>(v));
    window->Button14Click();
  }
  TuningChart* chart() { return window->chart(); }
  // Every recording is triggered after test mode and before its start.
  bool recordings_between_arm_and_start() {
    std::vector<testing::Frame> steps;
    for (const testing::Frame& f : rig.writes(2))
      if (f.start == 0x8003 || f.start == 0x8004 || (f.start == 0x8000 && f.values[0] != 0)) steps.push_back(f);
    for (size_t i = 0; i < steps.size(); ++i) {
      if (steps[i].start != 0x8003) continue;
      if (i == 0 || i + 1 == steps.size() || steps[i - 1].start != 0x8004 || steps[i + 1].start != 0x8000) return false;
    }
    return true;
  }
  int writes_to(int reg) {
    int n = 0;
    for (const testing::Frame& f : rig.writes(2)) n += f.start == reg;
    return n;
  }
};

TEST_F(AnalysisOnSimTest, AResonanceIsFoundNotchedAndBackAfterTheReset) {
  sim::ServoMechanics m;
  m.resonances = {{450, 1000}};
  axis(m, 10, 88, 1400, 117);
  stroke(1, 500);
  window->Button13Click();
  ASSERT_EQ(tstate().resonance_found, 1) << last("Memo4").toStdString();
  EXPECT_LE(std::abs(tstate().resonance_freq - 450), 2);  // one bin is 1.22 Hz
  EXPECT_TRUE(chart()->lamp(TuningChart::LampResonance));
  EXPECT_EQ(chart()->shown(), TuningChart::Resonance);

  const int found = tstate().resonance_freq;
  window->Button8Click();  // notch group 1 was selected on opening
  EXPECT_EQ(rig.servo(2).reg(80), found);
  EXPECT_EQ(rig.servo(2).reg(81), 10);
  window->Button13Click();
  EXPECT_EQ(tstate().resonance_found, 0);
  EXPECT_FALSE(chart()->lamp(TuningChart::LampResonance));

  window->Button9Click();
  EXPECT_EQ(rig.servo(2).reg(80), 2500);
  window->Button13Click();
  EXPECT_EQ(tstate().resonance_found, 1);
}

TEST_F(AnalysisOnSimTest, EndVibrationIsFoundAndSuppressed) {
  sim::ServoMechanics m;
  m.end_mode_hz = 15;
  axis(m, 10, 88, 1400, 117);
  stroke(3, 980);
  window->Button17Click();
  ASSERT_EQ(tstate().endvib_found, 1) << last("Memo4").toStdString();
  EXPECT_LE(std::abs(tstate().endvib_freq_x10 - 150), 5);  // one bin is 0.49 Hz
  EXPECT_TRUE(chart()->lamp(TuningChart::LampEndVibration));

  const int found = tstate().endvib_freq_x10;
  window->Button16Click();  // suppressor group 1 was selected on opening
  EXPECT_EQ(rig.servo(2).reg(90), found);
  EXPECT_EQ(rig.servo(2).reg(91), 80);
  window->Button17Click();
  EXPECT_EQ(tstate().endvib_found, 0);
  EXPECT_FALSE(chart()->lamp(TuningChart::LampEndVibration));
}

// After a fast stroke the machine still rings where the analysis looks, a
// second after the stop: a low and a high mode, and modes whose periods the
// stroke's 100 ms ramps last whole, on a coarse and on a fine encoder, clearly
// over the threshold; the suppressor set from the finding removes it (the
// ring of the move before has stopped by the next one).
TEST_F(AnalysisOnSimTest, EndModesFromSixTo28HzAreFoundOnEveryEncoderAndSuppressed) {
  for (const uint16_t motor : {4005, 6002}) {  // 4096 and 131072 counts per revolution
    rig.servo(2).set_motor_code(motor);
    window->Button23Click();
    for (const double hz : {6.0, 10.0, 20.0, 28.0}) {
      SCOPED_TRACE(::testing::Message() << motor << " " << hz << " Hz");
      sim::ServoMechanics m;
      m.end_mode_hz = hz;
      axis(m, 10, 88, 1400, 117);
      stroke(3, 980);
      window->Button17Click();
      ASSERT_EQ(tstate().endvib_found, 1) << last("Memo4").toStdString();
      EXPECT_LE(std::abs(tstate().endvib_freq_x10 - hz * 10), 5);  // one bin is 0.49 Hz
      const auto bin = static_cast<size_t>(std::lround(tstate().endvib_freq_x10 / 10.0 * 1024 / 500));
      EXPECT_GT(tstate().spectrum_db[bin], window->hidden.trackbar10 + 3);

      const int found = tstate().endvib_freq_x10;
      window->Button16Click();
      EXPECT_EQ(rig.servo(2).reg(90), found);
      window->Button17Click();
      EXPECT_EQ(tstate().endvib_found, 0) << tstate().endvib_freq_x10;
      EXPECT_FALSE(chart()->lamp(TuningChart::LampEndVibration));
      window->Button12Click();
    }
  }
}

// Two resonances, each with its own gain: the detection finds one, a notch in
// group 1 removes it, the next detection finds the other, and a notch in
// group 2 removes that one too.
TEST_F(AnalysisOnSimTest, TwoResonancesAreNotchedOneGroupEach) {
  sim::ServoMechanics m;
  m.resonances = {{300, 900}, {700, 1000}};
  axis(m, 10, 88, 1400, 117);
  stroke(1, 500);
  std::vector<int> found;
  for (const char* group : {"RadioButton1", "RadioButton2"}) {
    SCOPED_TRACE(group);
    control<QRadioButton>(form, group)->setChecked(true);
    window->Button13Click();
    ASSERT_EQ(tstate().resonance_found, 1) << last("Memo4").toStdString();
    found.push_back(tstate().resonance_freq);
    window->Button8Click();
  }
  std::sort(found.begin(), found.end());
  EXPECT_LE(std::abs(found[0] - 300), 2);  // one bin is 1.22 Hz
  EXPECT_LE(std::abs(found[1] - 700), 2);
  EXPECT_TRUE((rig.servo(2).reg(80) == found[0] && rig.servo(2).reg(82) == found[1]) ||
              (rig.servo(2).reg(80) == found[1] && rig.servo(2).reg(82) == found[0]));
  EXPECT_EQ(rig.servo(2).reg(81), 10);
  EXPECT_EQ(rig.servo(2).reg(83), 10);
  window->Button13Click();
  EXPECT_EQ(tstate().resonance_found, 0);
  EXPECT_FALSE(chart()->lamp(TuningChart::LampResonance));
}

TEST_F(AnalysisOnSimTest, ADriveWithNeitherLightsNoLamp) {
  axis(sim::ServoMechanics{}, 10, 88, 1400, 117);
  stroke(1, 500);
  window->Button13Click();
  stroke(3, 980);
  // A failure before the detection neither stops it nor is erased by it.
  rig.st().comm_error = 1;
  window->Button17Click();
  EXPECT_EQ(tstate().endvib_mode, 1);
  EXPECT_EQ(rig.st().comm_error, 1);
  for (auto lamp : {TuningChart::LampResonance, TuningChart::LampEndVibration, TuningChart::LampJitter})
    EXPECT_FALSE(chart()->lamp(lamp)) << lamp;
  EXPECT_TRUE(edit("Edit44")->text().isEmpty());
  EXPECT_TRUE(edit("Edit45")->text().isEmpty());
}

TEST_F(AnalysisOnSimTest, ResponseLampsFollowThePositionGain) {
  // The scripted axis follows as a clean lag, and rings above a position gain of 15.0.
  sim::ServoMechanics m;
  m.script.on = true;
  m.script.overshoot_kp = 150;
  int overshoot[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const int kp = k == 0 ? 88 : 160;
    SCOPED_TRACE(kp);
    axis(m, 10, kp, 1400, 117);
    stroke(1, 500);
    QTest::mouseClick(control<QPushButton>(form, "Button18"), Qt::LeftButton);
    ASSERT_TRUE(window->response_valid()) << last("Memo4").toStdString();
    overshoot[k] = edit("Edit5")->text().toInt();
    EXPECT_EQ(chart()->lamp(TuningChart::LampOvershoot), tstate().overshoot_flag == 1);
    EXPECT_EQ(chart()->lamp(TuningChart::LampResponse), tstate().response_met == 1);
    EXPECT_FALSE(edit("Edit6")->text().isEmpty());
    EXPECT_FALSE(edit("Edit32")->text().isEmpty());
  }
  EXPECT_GT(overshoot[1], overshoot[0]);
  EXPECT_EQ(tstate().overshoot_flag, 1);
  EXPECT_TRUE(chart()->lamp(TuningChart::LampOvershoot));
}

TEST_F(AnalysisOnSimTest, InertiaEstimatesLandWithinThreePercent) {
  for (double ratio : {1.0, 5.0, 20.0}) {
    SCOPED_TRACE(ratio);
    sim::ServoMechanics m;
    m.load_ratio = ratio;
    axis(m, 10, 88, 1400, 117);
    stroke(3, 980);
    rig.sim.clear_journal();
    window->Button24Click();
    ASSERT_EQ(tstate().tuning_stage[0], 2) << last("Memo4").toStdString();
    EXPECT_NEAR(tstate().inertia_ratio / 10.0, ratio, ratio * 0.03);
    EXPECT_EQ(rig.servo(2).reg(52), tstate().inertia_ratio);
    EXPECT_EQ(edit("Edit54")->text(), edit("Edit20")->text());  // read back
    EXPECT_EQ(writes_to(0x8003), 8);
    EXPECT_TRUE(recordings_between_arm_and_start());
  }
  // The drive refuses the ratio: no gains are computed from it.
  sim::Fault refuse = testing::fault(sim::Fault::Exception, 52);
  refuse.function = 6;
  rig.sim.inject(2, refuse);
  rig.sim.clear_journal();
  window->Button24Click();
  const std::vector<testing::Frame> writes = rig.writes(2);
  const auto refused = std::find_if(writes.begin(), writes.end(), [](const testing::Frame& f) { return f.start == 52; });
  ASSERT_NE(refused, writes.end());
  EXPECT_TRUE(std::none_of(refused, writes.end(), [](const testing::Frame& f) { return f.start >= 55 && f.start <= 57; }));
  EXPECT_EQ(tstate().tuning_stage[0], 0);
  EXPECT_EQ(last("Memo4"), QStringLiteral("节点2：惯量比修改失败!!"));
}

// The machine's end vibration at its default size, which still rings a
// second after a fast stop, is an angle of the machine, not a number of
// encoder counts: a coarse encoder sees it as a fine one does, so the same
// mechanics give the same estimate whatever the motor's resolution. Its
// deflection stops growing with the acceleration, so the estimation's harder
// runs are not pulled by a ring that grows with them: the estimate stays near
// the load.
TEST_F(AnalysisOnSimTest, EndVibrationDisturbsACoarseAndAFineEncoderAlike) {
  struct Case {
    double load, end_hz;
  };
  for (const Case c : {Case{5, 15}, Case{9, 15}, Case{2, 28}}) {
    sim::ServoMechanics m;
    m.load_ratio = c.load;
    m.end_mode_hz = c.end_hz;
    double estimate[2] = {0, 0};
    const uint16_t motors[2] = {4005, 6002};  // 4096 and 131072 counts per revolution
    for (int k = 0; k < 2; ++k) {
      SCOPED_TRACE(::testing::Message() << motors[k] << " load " << c.load << " end " << c.end_hz << " Hz");
      rig.servo(2).set_motor_code(motors[k]);
      window->Button23Click();
      axis(m, 10, 88, 1400, 117);
      stroke(3, 980);
      window->Button24Click();
      ASSERT_EQ(tstate().tuning_stage[0], 2) << last("Memo4").toStdString();
      estimate[k] = tstate().inertia_ratio / 10.0;
      EXPECT_NEAR(estimate[k], c.load, c.load * 0.15);  // the vibration pulls a little
    }
    EXPECT_NEAR(estimate[0], estimate[1], std::max(estimate[1] * 0.05, 0.1)) << c.load;  // 0.1: one step of the ratio
  }
}

TEST_F(AnalysisOnSimTest, AStopDuringRunFiveWritesNothingMovesNoMoreAndPutsTheGainsBack) {
  axis(sim::ServoMechanics{}, 30, 88, 1400, 117);
  stroke(3, 980);
  // The stage lamp blinks while the estimation runs on its own.
  auto* timer3 = form->findChild<ClockTimer*>(QStringLiteral("Timer3"));
  timer3->stop();
  bool lamp_timer_on = false;
  size_t at_press = 0;
  auto* poll = new ClockTimer(form);
  QObject::connect(poll, &ClockTimer::timeout, form, [&, this, poll, timer3] {
    if (writes_to(0x8003) < 5) return;
    poll->stop();
    lamp_timer_on = timer3->isActive() && tstate().tuning_stage[0] == 1;
    at_press = rig.writes(2).size();
    QTest::mouseClick(control<QPushButton>(form, "Button38"), Qt::LeftButton);
  });
  rig.sim.clear_journal();
  poll->start(1);
  window->Button24Click();
  EXPECT_EQ(writes_to(0x8003), 5);
  EXPECT_EQ(writes_to(52), 0);
  EXPECT_EQ(rig.servo(2).reg(52), 30);
  EXPECT_TRUE(lamp_timer_on);
  EXPECT_EQ(tstate().tuning_stage[0], 0);
  EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("终止负载惯量推定")));
  // No move and no centring after the stop: the axis rests where the run
  // under way left it.
  const std::vector<testing::Frame> writes = rig.writes(2);
  for (size_t i = at_press; i < writes.size(); ++i)
    EXPECT_FALSE(writes[i].start == 0x8000 && writes[i].values[0] != 0) << writes[i];
  testing::pass_time(500);
  const uint32_t where = rig.servo(2).position();
  testing::pass_time(1000);
  EXPECT_LE(std::abs(static_cast<int32_t>(rig.servo(2).position() - where)), 50);
  // The gains of the estimation's level are taken back.
  for (auto [r, v] : {std::pair{55, 88}, {56, 1400}, {57, 117}}) EXPECT_EQ(rig.servo(2).reg(static_cast<uint16_t>(r)), v) << r;
  EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("已将增益")));
}

}  // namespace
}  // namespace velmo
