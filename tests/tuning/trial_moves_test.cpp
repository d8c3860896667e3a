// Trial moves on the simulated servo: the axis stays inside its stroke when
// a start's reply is lost, stops end cyclic runs, verification survives
// nesting, and leaving mid-run leaves the motor at rest.
#include <cstdlib>

#include "link/clock_timer.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

class TrialMoveTest : public GainTuningTest {
 protected:
  void SetUp() override {
    GainTuningTest::SetUp();
    fast_moves();
    use(1);
    rig.servo(1).set_reg(181, 6001);  // 131072 counts, servo off after moves
    window->Button23Click();
    edit("Edit8")->setText(QStringLiteral("1"));
    edit("Edit67")->setText(QStringLiteral("1"));
    edit("Edit68")->setText(QStringLiteral("2000"));
    rig.sim.clear_journal();
  }
  // Starts of test moves on the wire, 1 forward, 2 reverse.
  std::vector<int> starts() {
    std::vector<int> out;
    for (const testing::Frame& f : rig.writes(1))
      if (f.start == 0x8000 && f.values[0] != 0) out.push_back(f.values[0]);
    return out;
  }
  // Counts from where the axis stood, read as a signed difference.
  int32_t from(uint32_t origin) { return static_cast<int32_t>(rig.servo(1).position() - origin); }
};

TEST_F(TrialMoveTest, ALostStartReplyNeverTakesTheAxisPastHalfTheStroke) {
  const uint32_t origin = rig.servo(1).position();
  window->run_half();
  const int32_t half = 65000;  // half of 1 revolution in whole 2000s: 130000 / 2
  EXPECT_NEAR(std::abs(from(origin)), half, 50);
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    // The drive moves, but its answer to the start is garbled.
    if (k == 1 || k == 2) rig.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x8000));
    window->Button22Click();
    rig.sim.clear_faults();
    EXPECT_LE(std::abs(from(origin)), half + 50);
  }
}

TEST_F(TrialMoveTest, AStopBetweenCyclicPassesEndsTheRunAndTheNextRunsInFull) {
  edit("Edit31")->setText(QStringLiteral("3"));
  // Pressed right after the forward pass, before the reverse one.
  const auto pressed = QObject::connect(edit("Edit43"), &QLineEdit::textChanged, form, [this](const QString& t) {
    if (t == QStringLiteral("1")) QTest::mouseClick(control<QPushButton>(form, "Button48"), Qt::LeftButton);
  });
  QTest::mouseClick(control<QPushButton>(form, "Button35"), Qt::LeftButton);
  EXPECT_EQ(starts(), std::vector<int>{1});
  EXPECT_EQ(edit("Edit60")->text(), QStringLiteral("0"));
  EXPECT_EQ(tstate().tune_stop, 0);

  QObject::disconnect(pressed);
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button35"), Qt::LeftButton);
  EXPECT_EQ(starts(), (std::vector<int>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(edit("Edit60")->text(), QStringLiteral("3"));
  EXPECT_FALSE(testing::memo_lines(form, "Memo3").filter(QStringLiteral("正转完成")).isEmpty());
}

TEST_F(TrialMoveTest, VerificationOfAnOuterSequenceSurvivesNestedMoves) {
  for (uint8_t outer : {uint8_t{1}, uint8_t{0}}) {
    rig.st().verify_replies = outer;
    window->run_half();
    EXPECT_EQ(rig.st().verify_replies, outer);
  }
}

TEST_F(TrialMoveTest, LeavingDuringACyclicRunStopsTheMotorAndSendsNothingAfterTheExit) {
  edit("Edit31")->setText(QStringLiteral("5"));
  when([this] { return !starts().empty(); },
       [this] { QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton); });
  QTest::mouseClick(control<QPushButton>(form, "Button35"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }));
  // One start, then its stop; the exit's status read and restore follow.
  EXPECT_EQ(starts(), std::vector<int>{1});
  const std::vector<testing::Frame> writes = rig.writes(1);
  const auto stop = std::find(writes.begin(), writes.end(), testing::write(1, 0x8000, 0));
  EXPECT_NE(stop, writes.end());
  EXPECT_FALSE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("正转完成")));

  const size_t sent = rig.sim.request_count();
  const uint32_t at = rig.servo(1).position();
  testing::pass_time(300);
  EXPECT_EQ(rig.sim.request_count(), sent);
  EXPECT_NEAR(static_cast<int32_t>(rig.servo(1).position() - at), 0, 2);
}

// A vertical load stays held when the window is left mid-run: the stroke
// stops and the settings go back, but the servo is not switched off.
TEST_F(TrialMoveTest, LeavingWithAVerticalLoadStopsTheMoveButKeepsTheServoOn) {
  control<QComboBox>(form, "ComboBox7")->setCurrentIndex(1);
  when([this] { return !starts().empty(); },
       [this] { QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton); });
  QTest::mouseClick(control<QPushButton>(form, "Button35"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }));
  const std::vector<testing::Frame> writes = rig.writes(1), restore = rig.restore_writes(1);
  EXPECT_NE(std::find(writes.begin(), writes.end(), testing::write(1, 0x8000, 0)), writes.end());
  EXPECT_EQ(std::find(writes.begin(), writes.end(), testing::write(1, 0x1020, 0)), writes.end());
  EXPECT_NE(std::search(writes.begin(), writes.end(), restore.begin(), restore.end()), writes.end());
  EXPECT_FALSE(window->holds_drive());
}

TEST_F(TrialMoveTest, OpeningTheWindowAgainStartsTheNextMoveForward) {
  window->Button22Click();
  ASSERT_EQ(starts(), std::vector<int>{1});
  // The next single move would come back; opening the window from the menu
  // starts over from the forward direction.
  rig.app.main_window().N12Click();
  window->Button22Click();
  EXPECT_EQ(starts(), (std::vector<int>{1, 1}));
}

}  // namespace
}  // namespace velmo
