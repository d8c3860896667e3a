// Gain tuning works on servo 2 (layout 2) while other windows work on
// servo 1 (layout 1): each window's exchanges, restores and failures stay
// with its own drive, through searches and renumberings.
#include <QCheckBox>
#include <QRadioButton>

#include <algorithm>

#include "link/clock_timer.h"
#include "sim/servo_mechanics.h"
#include "support/editor_input.h"
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

struct ServoWindowsTest : GainTuningTest {
  MainWindow& main = rig.app.main_window();
  QWidget* control4 = rig.app.form("TForm4");
  bool idle() { return rig.st().sending == 0 && rig.st().write_busy == 0 && rig.st().read_busy == 0; }
  void settle() { ASSERT_TRUE(testing::wait_for([this] { return idle(); })); }
  // Single moves of one revolution on servo 2.
  void moves_on_servo_2() {
    fast_moves();
    use(2);
    window->Button23Click();
    edit("Edit8")->setText(QStringLiteral("1"));
    edit("Edit67")->setText(QStringLiteral("1"));
    edit("Edit68")->setText(QStringLiteral("2000"));
  }
};

TEST_F(ServoWindowsTest, SearchesAndRenumberingsKeepEachWindowOnItsDriveAndOneLostSendsNothing) {
  auto* tuning_list = control<QComboBox>(form, "ComboBox2");
  auto* control_list = control<QComboBox>(control4, "ComboBox4");
  testing::select_node(tuning_list, 2);
  main.N6Click();
  rig.choose_line(10);
  main.Button4Click();
  EXPECT_EQ(tuning_list->currentText(), "2");
  EXPECT_EQ(control_list->currentText(), "1");

  // Servo 1 becomes 5, then servo 2 becomes 1: each list follows its drive.
  main.N5Click();
  settle();
  QWidget* editor = rig.app.form("TForm2");
  testing::type_and_enter(control<QLineEdit>(editor, "Edit66"), QStringLiteral("5"));
  settle();
  EXPECT_EQ(control_list->currentText(), "5");
  EXPECT_EQ(tuning_list->currentText(), "2");
  testing::select_node(control<QComboBox>(editor, "ComboBox45"), 2);
  settle();
  testing::type_and_enter(control<QLineEdit>(editor, "Edit66"), QStringLiteral("1"));
  settle();
  EXPECT_EQ(tuning_list->currentText(), "1");
  EXPECT_EQ(control_list->currentText(), "5");
  // Gear and inertia go to layout 2's registers of the drive at its new address.
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button15"), Qt::LeftButton);
  const std::vector<testing::Frame> sent = rig.writes();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].station, 1);
  EXPECT_EQ(sent[0].function, 16);
  EXPECT_EQ(sent[0].start, 29);
  EXPECT_EQ(sent[1].station, 1);
  EXPECT_EQ(sent[1].start, 52);

  // Servo 5 is gone from the line: the control window names no drive and sends nothing.
  rig.sim.inject(5, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  main.Button4Click();
  EXPECT_EQ(control_list->currentIndex(), -1);
  EXPECT_EQ(control<QLabel>(control4, "Panel1")->text(), QStringLiteral("节点5：已不在线上，请重新选择节点！！"));
  EXPECT_EQ(tuning_list->currentText(), "1");
  rig.sim.clear_journal();
  QTest::mouseClick(control<QRadioButton>(control4, "RadioButton2"), Qt::LeftButton);
  testing::click(control4, "Button14");
  settle();
  EXPECT_TRUE(rig.sim.requests().empty());
}

// Servo 1's status reads fail and the windows on it are left, but the
// cycle run on servo 2 goes on to its end: none of it was theirs.
TEST_F(ServoWindowsTest, ACycleRunOnServoTwoOutlivesTheFailuresAndExitsOfWindowsOnServoOne) {
  moves_on_servo_2();
  edit("Edit31")->setText(QStringLiteral("3"));
  main.N6Click();
  main.N2Click();
  QWidget* control13 = rig.app.form("TForm13");
  settle();
  control<QCheckBox>(control4, "CheckBox1")->setChecked(true);
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 0x2003, -1));
  when([&] { return !testing::memo_lines(control4, "Memo3").isEmpty() && idle(); },
       [&] {
         testing::click(control4, "Button1");
         testing::click(control13, "Button1");
       });
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button35"), Qt::LeftButton);
  EXPECT_EQ(edit("Edit43")->text(), "3");
  EXPECT_EQ(edit("Edit60")->text(), "3");
  EXPECT_FALSE(testing::memo_lines(form, "Memo4").join('\n').contains(QStringLiteral("循环运转中断")));
  EXPECT_TRUE(testing::memo_lines(control4, "Memo3").contains(QStringLiteral("节点1：伺服状态信息读取失败**")));
  EXPECT_FALSE(control4->isVisible());
  EXPECT_FALSE(control13->isVisible());
  // Neither exit wrote a word: nothing of either drive was theirs to restore.
  EXPECT_TRUE(rig.writes(1).empty());
  for (const testing::Frame& f : rig.writes(2)) EXPECT_NE(f.start, 0x1003) << f;
  EXPECT_EQ(rig.st().servo_restore_flags[2], 3);
}

// Servo 1 runs under the control window; gain tuning, left after a move on
// servo 2, restores servo 2 alone.
TEST_F(ServoWindowsTest, LeavingGainTuningRestoresItsOwnDriveAndLeavesTheRunningOne) {
  main.N6Click();
  settle();
  QTest::mouseClick(control<QRadioButton>(control4, "RadioButton2"), Qt::LeftButton);
  settle();
  testing::click(control4, "Button6");
  settle();
  ASSERT_EQ(rig.st().servo_run_state[1], 1);
  moves_on_servo_2();
  window->Button22Click();
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([&] { return !form->isVisible(); }));
  EXPECT_TRUE(rig.writes(1).empty());
  const std::vector<testing::Frame> restored = rig.restore_writes(2), sent = rig.writes(2);
  EXPECT_NE(std::search(sent.begin(), sent.end(), restored.begin(), restored.end()), sent.end());
  EXPECT_EQ(control<QLabel>(control4, "Panel1")->text(), QStringLiteral("节点1：正转！！"));
  EXPECT_EQ(rig.st().servo_run_state[1], 1);
  EXPECT_EQ(rig.st().servo_restore_flags[1], 4);
  EXPECT_EQ(rig.st().servo_restore_flags[2], 0);
}

}  // namespace
}  // namespace velmo
