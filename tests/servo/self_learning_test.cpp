// The self-learning window: starts in the selected drive's layout register,
// polls to completion, follows the last accepted start's drive.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/notifier.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "servo/self_learning_window.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;

class SelfLearningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.connect_servos());
    // Polls come quickly here; the drive's busy count decides when it is done.
    control<ClockTimer>(form, "Timer1")->setInterval(20);
    rig.app.main_window().N11Click();
    ASSERT_TRUE(form->isVisible());
    rig.sim.clear_journal();
  }
  QString log() { return shown_text(control<QPlainTextEdit>(form, "Memo1")); }
  QPushButton* button(const char* name) { return control<QPushButton>(form, name); }
  ClockTimer* timer() { return control<ClockTimer>(form, "Timer1"); }
  void select(int station) { testing::select_node(nodes, station); }

  testing::AppOnSim rig;
  QWidget* form = rig.app.form("TForm8");
  SelfLearningWindow* window = qobject_cast<SelfLearningWindow*>(form);
  QComboBox* nodes = control<QComboBox>(form, "ComboBox1");
};

TEST_F(SelfLearningTest, StartAndPollToDoneInBothLayouts) {
  struct Case {
    int station;
    const char* button;
    uint16_t reg, value;
  };
  const Case cases[] = {{1, "Button1", 0x28, 2}, {2, "Button1", 0x36, 3}, {1, "Button6", 0x28, 4},
                        {2, "Button6", 0x36, 2}, {1, "Button2", 0x46, 2}, {2, "Button2", 0x36, 4},
                        {1, "Button3", 0x5A, 2}, {2, "Button3", 0x36, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " on " + std::to_string(c.station));
    const auto a = static_cast<uint8_t>(c.station);
    select(c.station);
    sim::servo_set_self_learning(rig.servo(a), 2);
    rig.sim.clear_journal();
    QTest::mouseClick(button(c.button), Qt::LeftButton);
    EXPECT_EQ(rig.writes(a), std::vector<Frame>{testing::write(a, c.reg, c.value)});
    EXPECT_TRUE(log().endsWith(QStringLiteral("自学习中...")));
    EXPECT_FALSE(button(c.button)->isEnabled());
    EXPECT_TRUE(timer()->isActive());

    ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
    EXPECT_TRUE(log().endsWith(QStringLiteral("节点%1：自学习完成！！").arg(c.station)));
    EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点%1：自学习完成！！").arg(c.station));
    EXPECT_TRUE(button(c.button)->isEnabled());
    const std::vector<Frame> polls = rig.reads(a);
    ASSERT_EQ(polls.size(), 3u);  // two busy answers, then done
    for (const Frame& p : polls) EXPECT_EQ(p, testing::read(a, c.reg, 1));
    EXPECT_EQ(rig.st().write_busy, 0);
  }
}

TEST_F(SelfLearningTest, ASecondStartMovesThePollToItsDriveAndRegister) {
  sim::servo_set_self_learning(rig.servo(1), 1000);
  sim::servo_set_self_learning(rig.servo(2), 3);
  select(1);
  QTest::mouseClick(button("Button6"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([&] { return rig.reads(1).size() >= 2; }));

  select(2);
  QTest::mouseClick(button("Button2"), Qt::LeftButton);
  EXPECT_EQ(window->selflearn_node(), 2);
  EXPECT_EQ(window->selflearn_reg(), 0x36);
  // The combo may show another drive; the poll stays with the one started.
  select(1);
  rig.sim.clear_journal();
  ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
  EXPECT_TRUE(rig.reads(1).empty());
  EXPECT_FALSE(rig.reads(2).empty());
  for (const Frame& p : rig.reads(2)) EXPECT_EQ(p.start, 0x36);
  EXPECT_TRUE(log().endsWith(QStringLiteral("节点2：自学习完成！！")));
  for (const char* b : {"Button1", "Button6", "Button2", "Button3", "Button5", "Button7"})
    EXPECT_TRUE(button(b)->isEnabled()) << b;
}

TEST_F(SelfLearningTest, AFailedStartFreesItsButtonAndLeavesThePollAlone) {
  select(1);
  rig.sim.inject(1, testing::fault(sim::Fault::Silent));
  QTest::mouseClick(button("Button3"), Qt::LeftButton);
  EXPECT_EQ(log(), QStringLiteral("末端振动抑制自学习失败**"));
  EXPECT_TRUE(button("Button3")->isEnabled());
  EXPECT_FALSE(timer()->isActive());

  // The drive refuses the value: an exception reply is a failure too.
  rig.sim.inject(1, testing::fault(sim::Fault::Exception));
  QTest::mouseClick(button("Button1"), Qt::LeftButton);
  EXPECT_TRUE(log().endsWith(QStringLiteral("负载特性自学习失败**")));
  EXPECT_TRUE(button("Button1")->isEnabled());
  EXPECT_EQ(window->selflearn_node(), 0);
}

TEST_F(SelfLearningTest, OnlyTheLowByteTellsCompletionAndBusyLinesSkipAPoll) {
  select(1);
  sim::servo_set_self_learning(rig.servo(1), 1000);
  // Another window's operation holds the line: the polls wait, silently.
  QTest::mouseClick(button("Button6"), Qt::LeftButton);
  rig.st().read_busy = 1;
  rig.sim.clear_journal();
  testing::pass_time(100);
  EXPECT_TRUE(rig.reads(1).empty());
  rig.st().read_busy = 0;

  rig.servo(1).set_reg(0x0028, 0x0101);
  ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
  EXPECT_TRUE(log().endsWith(QStringLiteral("节点1：自学习完成！！")));
}

TEST_F(SelfLearningTest, LeavingStopsThePollAndFreesTheButtons) {
  select(2);
  sim::servo_set_self_learning(rig.servo(2), 1000);
  QTest::mouseClick(button("Button1"), Qt::LeftButton);
  ASSERT_TRUE(timer()->isActive());
  QTest::mouseClick(button("Button4"), Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(timer()->isActive());
  EXPECT_TRUE(button("Button1")->isEnabled());
  EXPECT_EQ(rig.st().active_form, 1);
}

// A poll without an accepted reply is silent and the polling goes on; the
// polls are run by hand so that each one is seen on its own. The memo logs
// results only; the frames go to the main window's traffic log.
TEST_F(SelfLearningTest, APollWithoutAnAcceptedReplyChangesNothing) {
  select(1);
  timer()->setInterval(3600 * 1000);
  sim::servo_set_self_learning(rig.servo(1), 0);  // the first poll that gets through reads 1
  auto* traffic = control<QPlainTextEdit>(rig.app.form("TForm1"), "Memo1");
  traffic->clear();
  QTest::mouseClick(button("Button6"), Qt::LeftButton);
  ASSERT_TRUE(timer()->isActive());
  const QString started = log();
  EXPECT_EQ(started, QStringLiteral("节点1：惯量比自学习中..."));

  sim::Fault::Kind kinds[] = {sim::Fault::Silent, sim::Fault::BadCrc, sim::Fault::WrongAddress,
                              sim::Fault::Exception, sim::Fault::Short};
  for (const sim::Fault::Kind kind : kinds) {
    SCOPED_TRACE(static_cast<int>(kind));
    sim::Fault fault;
    fault.kind = kind;
    fault.function = 0x03;
    rig.sim.inject(1, fault);
    window->Timer1Timer();
    EXPECT_EQ(log(), started);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_FALSE(button("Button6")->isEnabled());
    EXPECT_EQ(rig.st().write_busy, 0);
  }
  rig.sim.clear_faults();
  window->Timer1Timer();
  EXPECT_EQ(log(), started + QStringLiteral("\n节点1：自学习完成！！"));
  EXPECT_TRUE(shown_text(traffic).contains(QStringLiteral("01 06 00 28 00 04")));
  EXPECT_TRUE(shown_text(traffic).contains(QStringLiteral("01 03 00 28 00 01")));
  EXPECT_FALSE(timer()->isActive());
  EXPECT_TRUE(button("Button6")->isEnabled());
}

}  // namespace
}  // namespace velmo
