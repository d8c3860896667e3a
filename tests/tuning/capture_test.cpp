// Capture of the recorded move on the simulated servo: block reads, curves
// of negative and wrapping moves, retries and a drive fault.
#include <QTabWidget>

#include <algorithm>

#include "support/wait.h"
#include "tuning/tuning_chart.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using tuning::TuningChart;

class CaptureTest : public GainTuningTest {
 protected:
  void SetUp() override {
    GainTuningTest::SetUp();
    fast_moves();
    use(1);
    rig.servo(1).set_reg(181, 6001);
    window->Button23Click();
    stroke(1, 500);
  }
  bool move_and_capture() {
    GainTuningWindow::TestMove steps;
    steps.record = 1;
    rig.sim.clear_journal();
    return window->test_move(steps);
  }
  std::vector<testing::Frame> recording_reads() {
    std::vector<testing::Frame> out;
    for (const testing::Frame& f : rig.reads(1))
      if (f.start >= 0x9000) out.push_back(f);
    return out;
  }
  int32_t final_rel() { return tstate().pos_rel[tstate().sample_count - 1]; }
};

TEST_F(CaptureTest, BothDirectionsAndAWrappingMoveGiveTheSamePositiveCurve) {
  rig.servo(1).set_position(0x7FFFFFFFu - 60000);  // the move crosses 2^31
  for (int dir : {1, 2, 1}) {
    SCOPED_TRACE(dir);
    ASSERT_EQ(tstate().move_dir, static_cast<uint32_t>(dir));
    ASSERT_TRUE(move_and_capture());
    const auto reads = recording_reads();
    ASSERT_EQ(reads.size(), 164u);
    EXPECT_EQ(reads.back(), testing::read(1, 0x9000 + 4075, 21));
    EXPECT_NEAR(final_rel(), 131000, 200);
    EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 4096);
    EXPECT_GT(window->chart()->point_count(TuningChart::Speed), 200);
  }
  // VELMO_SCREENSHOT=file.png saves the window with the last move on its chart.
  if (const QString path = qEnvironmentVariable("VELMO_SCREENSHOT"); !path.isEmpty()) {
    control<QTabWidget>(form, "PageControl1")->setCurrentWidget(window->chart());
    window->chart()->show_curve(TuningChart::Position);
    EXPECT_TRUE(form->grab().save(path));
  }
}

TEST_F(CaptureTest, SpeedUsesTheIdentifiedMotorsResolutionNotTheProgramVersions) {
  // Station 2's program version says 4096 counts; its motor has 131072.
  use(2);
  rig.servo(2).set_motor_code(6002);
  window->Button23Click();
  ASSERT_EQ(tstate().servo_resolution, 131072u);
  window->hidden.test_pulses = 131000;
  tstate().move_params_changed = 1;
  GainTuningWindow::TestMove steps;
  steps.record = 1;
  ASSERT_TRUE(window->test_move(steps));
  // 131000 pulses in 262 ms average 229 rpm (500000 / 131072 x 60); the
  // ramps put the peak above it, 4096 counts a turn would put it 32-fold.
  const auto& rpm = tstate().speed_rpm;
  const int peak = *std::max_element(rpm.begin(), rpm.begin() + tstate().speed_point_count);
  EXPECT_GT(peak, 229);
  EXPECT_LT(peak, 2 * 229);
}

TEST_F(CaptureTest, ABlockFailingTwiceIsRetriedAndCounts) {
  rig.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x9000 + 125, 2));
  EXPECT_TRUE(move_and_capture());
  EXPECT_EQ(rig.st().comm_error, 0);
  EXPECT_EQ(tstate().capture_block_ok, 1);
  EXPECT_EQ(recording_reads().size(), 166u);
  EXPECT_EQ(testing::memo_lines(form, "Memo4").filter(QStringLiteral("读取位置数据出错!!")).size(), 2);
  EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 4096);
}

// On a line paced like a real 38400 one, one block's reply comes 5 to 80 ms
// after its timeout: the try after it, and every later block, still get their
// own samples (or the capture fails); never a neighbour's.
TEST_F(CaptureTest, ABlockReplyLateBeyondItsTimeoutNeverGivesABlockAnothersSamples) {
  rig.sim.set_pace(38400);
  ASSERT_TRUE(move_and_capture());
  const auto& ts = tstate();
  const std::vector<int32_t> own(ts.pos_abs.begin(), ts.pos_abs.begin() + ts.sample_count);
  for (int late_ms : {5, 40, 80}) {
    SCOPED_TRACE(late_ms);
    for (uint16_t block : {1, 2, 100}) {
      SCOPED_TRACE(block);
      sim::Fault late = testing::fault(sim::Fault::Late, 0x9000 + 25 * block);
      late.delay_ms = static_cast<int>(rig.st().comm_timeout_ms) + late_ms;
      rig.sim.inject(1, late);
      rig.st().comm_error = 0;
      window->chart()->clear_capture_series();
      window->pos_data_read();
      if (rig.st().comm_error != 0) {
        EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 0);
        continue;
      }
      EXPECT_EQ(ts.capture_block_ok, 1);
      ASSERT_EQ(ts.sample_count, own.size());
      EXPECT_TRUE(std::equal(own.begin(), own.end(), ts.pos_abs.begin()));
      EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 4096);
    }
  }
}

TEST_F(CaptureTest, ABlockGivenUpOrADriveFaultLeavesNoCurves) {
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 0x9000 + 125, 4));
  EXPECT_FALSE(move_and_capture());
  EXPECT_EQ(rig.st().comm_error, 1);
  EXPECT_EQ(recording_reads().size(), 5u + 4u);  // blocks 0..4, then four tries of block 5
  EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 0);

  rig.st().comm_error = 0;
  rig.sim.clear_faults();
  rig.servo(1).pin_reg(0x3000, 7);
  window->pos_data_read();
  EXPECT_EQ(rig.notifier.messages.back(), QStringLiteral("驱动器出现故障！！"));
  EXPECT_EQ(rig.st().comm_error, 1);
  EXPECT_EQ(tstate().drive_fault_seen, 1);
  EXPECT_EQ(window->chart()->point_count(TuningChart::Position), 0);
}

}  // namespace
}  // namespace velmo
