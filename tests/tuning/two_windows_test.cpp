// Gain tuning runs an operation on servo 2 (layout 2) while the servo editor
// opens on servo 1 (layout 1) and 搜索节点 is pressed.
#include <algorithm>

#include "link/clock_timer.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

constexpr uint16_t kRigidity2 = 53, kKv2 = 56;  // layout 2

TEST_F(GainTuningTest, AnOperationOnServoTwoStaysThereWhileTheEditorReadsServoOneAndASearchIsRefused) {
  use(2);
  rig.servo(2).set_reg(181, 6001);
  rig.st().comm_timeout_ms = 20000;
  window->Button23Click();
  window->Button14Click();
  sim::ServoMechanics m;
  m.script = {.on = true, .resonance_rigidity = 9, .resonance_hz = 450};
  rig.servo(2).set_mechanics(m);
  tstate().rigidity_level = 6;
  window->gain_set();
  const uint16_t rigidity = rig.servo(2).reg(kRigidity2), kv = rig.servo(2).reg(kKv2);
  rig.sim.clear_journal();
  rig.notifier.messages.clear();
  auto moves = [this] {
    return std::ranges::count_if(rig.writes(2), [](const testing::Frame& f) { return f.start == 0x8000 && f.values[0] != 0; });
  };
  int moves_at_open = -1;
  auto* poll = new ClockTimer(form);
  QObject::connect(poll, &ClockTimer::timeout, form, [&, this, poll] {
    if (moves_at_open < 0 && moves() >= 2) {
      moves_at_open = moves();
      rig.app.main_window().N5Click();
      rig.app.main_window().Button4Click();
    } else if (moves_at_open >= 0 && tstate().rigidity_level == 7 && moves() > moves_at_open) {
      poll->stop();
      QTest::mouseClick(control<QPushButton>(form, "Button38"), Qt::LeftButton);
    }
  });
  poll->start(1);
  QTest::mouseClick(control<QPushButton>(form, "Button47"), Qt::LeftButton);
  ASSERT_GE(moves_at_open, 2);
  EXPECT_GT(moves(), moves_at_open);
  EXPECT_TRUE(rig.writes(1).empty());
  EXPECT_FALSE(rig.reads(1).empty());
  ASSERT_EQ(rig.notifier.messages.size(), 1);
  EXPECT_TRUE(rig.notifier.messages[0].contains(QStringLiteral("驱动器增益调试"))) << rig.notifier.messages[0].toStdString();
  EXPECT_EQ(rig.servo(2).reg(kRigidity2), rigidity);
  EXPECT_EQ(rig.servo(2).reg(kKv2), kv);
  EXPECT_EQ(testing::memo_lines(form, "Memo3").filter(QStringLiteral("节点2：已将增益、刚性等级、陷波器、振动抑制器和限制值恢复为开始时的值")).size(), 1);
}

}  // namespace
}  // namespace velmo
