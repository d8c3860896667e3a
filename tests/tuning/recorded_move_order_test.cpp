// Recorded moves on the simulated servo, in the order the drive takes them:
// test mode, recording trigger, start; a recording that starts later comes
// after the start; the end-vibration SERVO_OFF comes before its wait; the
// resonance detection reads the peak torque after its analysis.
#include <QComboBox>
#include <QLabel>

#include "tuning_rig.h"

namespace velmo {
namespace {

class RecordedMoveOrderTest : public GainTuningTest {
 protected:
  // Station 2 (layout 2), 131072 counts, a motor that is switched off after
  // moves; one revolution at 500 pulses/ms.
  void SetUp() override {
    GainTuningTest::SetUp();
    fast_moves();
    use(2);
    rig.servo(2).set_motor_code(6001);
    window->Button23Click();
    stroke(1, 500);
    window->Button10Click();
    tstate().move_params_changed = 0;
    rig.sim.clear_journal();
  }

  // The move's steps on the wire from test mode on: "8004=1", "8003=v",
  // "start" (0x8000 := 1 or 2), "1020=v", "capture" (0x9000 reads, once),
  // "torque" (0x2007).
  std::vector<std::string> steps() {
    std::vector<std::string> out;
    for (const testing::Frame& f : testing::frames_of(rig.sim, 2)) {
      std::string step;
      if (f.function == 3 && f.start >= 0x9000) step = "capture";
      if (f.function == 3 && f.start == 0x2007) step = "torque";
      if (f.function == 6 && f.start == 0x8000 && f.values[0] != 0) step = "start";
      if (f.function == 6 && (f.start == 0x8003 || f.start == 0x8004 || f.start == 0x1020))
        step = QStringLiteral("%1=%2").arg(f.start, 0, 16).arg(f.values[0]).toStdString();
      if (step.empty() || (!out.empty() && out.back() == step && step == "capture")) continue;
      if (out.empty() && step != "8004=1") continue;
      out.push_back(step);
    }
    return out;
  }
  using Steps = std::vector<std::string>;
};

TEST_F(RecordedMoveOrderTest, TheRecordingIsTriggeredBetweenTestModeAndTheStart) {
  // The response test and the first resonance pass record from the start.
  QTest::mouseClick(control<QPushButton>(form, "Button18"), Qt::LeftButton);
  EXPECT_EQ(steps(), (Steps{"8004=1", "8003=1", "start", "1020=0", "capture", "torque"}));

  rig.sim.clear_journal();
  tstate().resonance_pass = 0;
  window->Button13Click();
  EXPECT_EQ(steps(), (Steps{"8004=1", "8003=1", "start", "1020=0", "capture", "torque"}));

  // The second pass starts its recording half a second into the move.
  rig.sim.clear_journal();
  tstate().resonance_pass = 1;
  window->Button13Click();
  EXPECT_EQ(steps(), (Steps{"8004=1", "start", "8003=1", "1020=0", "capture", "torque"}));
}

TEST_F(RecordedMoveOrderTest, EndVibrationIsRecordedWithTheServoOffAfterTheMoveEnded) {
  // The captions shown while it runs.
  QStringList captions;
  auto* panel = control<QLabel>(form, "Panel1");
  ClockTimer watch;
  QObject::connect(&watch, &ClockTimer::timeout, form, [&] {
    if (captions.isEmpty() || captions.back() != panel->text()) captions << panel->text();
  });
  watch.start(1);
  window->Button17Click();
  watch.stop();
  EXPECT_EQ(steps(), (Steps{"8004=1", "start", "8003=2", "1020=0", "capture"}));
  EXPECT_TRUE(captions.contains(QStringLiteral("节点2：位置数据采集中..."))) << captions.join(u'|').toStdString();
  // The SERVO_OFF is sent before the 3300 ms wait, not after it.
  const std::vector<sim::JournalEntry> journal = rig.sim.journal();
  int64_t servo_off_ns = -1, capture_ns = -1;
  for (const sim::JournalEntry& e : journal) {
    if (!e.is_request || e.bytes.size() < 6) continue;
    const testing::Frame f = testing::decode(e.bytes);
    if (f == testing::write(2, 0x1020, 0)) servo_off_ns = e.t_ns;
    if (f.function == 3 && f.start >= 0x9000 && capture_ns < 0) capture_ns = e.t_ns;
  }
  ASSERT_GE(servo_off_ns, 0);
  EXPECT_GE(capture_ns - servo_off_ns, 3300LL * 1000 * 1000);

  // A vertical load stays held through the recording.
  control<QComboBox>(form, "ComboBox7")->setCurrentIndex(1);
  rig.sim.clear_journal();
  window->Button17Click();
  EXPECT_EQ(steps(), (Steps{"8004=1", "start", "8003=2", "capture"}));
}

}  // namespace
}  // namespace velmo
