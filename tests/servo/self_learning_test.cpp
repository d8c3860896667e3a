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
#include "servo/self_learning_functions.h"
#include "servo/self_learning_window.h"
#include "servo_sim_rig.h"

namespace velmo {
namespace {

using testing::ServoSimRig;
using Write = ServoSimRig::Write;
using Reads = std::vector<std::pair<uint16_t, uint16_t>>;

TEST(SelfLearningFunctions, StartRegistersAndTextsByLayout) {
  struct Case {
    const char* button;
    const char* caption;
    uint16_t reg1, value1, reg2, value2;
    bool visible;
    const char* running;
    const char* failure;
  };
  const Case cases[] = {
      {"Button1", "刚性等级、共振抑制、振动抑制自学习", 0x28, 2, 0x36, 3, true, "负载特性自学习中...",
       "负载特性自学习失败**"},
      {"Button6", "惯量比自学习", 0x28, 4, 0x36, 2, true, "惯量比自学习中...", "惯量比自学习失败**"},
      {"Button2", "陷波器共振抑制自学习", 0x46, 2, 0x36, 4, true, "共振抑制自学习中...", "共振抑制自学习失败**"},
      {"Button3", "末端振动抑制自学习", 0x5A, 2, 0x36, 5, true, "末端振动抑制自学习中...",
       "末端振动抑制自学习失败**"},
      // The running text is shorter than the failure text here.
      {"Button5", "正反转转矩补偿自学习", 0x28, 3, 0x28, 3, false, "转矩补偿自学习中...",
       "正反转转矩补偿自学习失败**"},
      {"Button7", "机械刚性自学习", 0x28, 5, 0x28, 5, false, "机械刚性自学习中...", "机械刚性自学习失败**"},
  };
  const auto functions = servo::self_learning_functions();
  ASSERT_EQ(functions.size(), std::size(cases));
  for (size_t i = 0; i < functions.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.button);
    EXPECT_STREQ(functions[i].button, c.button);
    EXPECT_STREQ(functions[i].caption, c.caption);
    EXPECT_STREQ(functions[i].running_text, c.running);
    EXPECT_STREQ(functions[i].failure_text, c.failure);
    EXPECT_EQ(functions[i].start_for(1).reg, c.reg1);
    EXPECT_EQ(functions[i].start_for(1).value, c.value1);
    for (uint32_t other : {0u, 2u, 3u, 0x101u}) {
      EXPECT_EQ(functions[i].start_for(other).reg, c.reg2);
      EXPECT_EQ(functions[i].start_for(other).value, c.value2);
    }
    EXPECT_EQ(functions[i].visible, c.visible);
  }
}

// The window as created, before any line is connected.
TEST(SelfLearningWindowShape, TitleFlagsTimerAndButtons) {
  RecordingNotifier notifier;
  VelmoApp app{notifier};
  QWidget* form = app.form("TForm8");
  EXPECT_EQ(form->windowTitle(), QStringLiteral("伺服系统参数自学习"));
  const Qt::WindowFlags flags = form->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  for (const Qt::WindowType icon : {Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                    Qt::WindowMaximizeButtonHint, Qt::WindowSystemMenuHint})
    EXPECT_FALSE(flags & icon) << icon;
  auto* timer = control<QTimer>(form, "Timer1");
  EXPECT_EQ(timer->interval(), 2000);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(control<QPushButton>(form, "Button4")->text(), QStringLiteral("退出"));
  for (const servo::SelfLearningFunction& f : servo::self_learning_functions()) {
    auto* b = control<QPushButton>(form, f.button);
    EXPECT_EQ(b->text(), QString::fromUtf8(f.caption)) << f.button;
    EXPECT_EQ(b->isVisibleTo(form), f.visible) << f.button;
  }
}

class SelfLearningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.connected);
    // Polls come quickly here; the drive's busy count decides when it is done.
    control<QTimer>(form, "Timer1")->setInterval(20);
    rig.app.main_window().N11Click();
    ASSERT_TRUE(form->isVisible());
    rig.line.clear_journal();
  }
  QString log() { return control<QPlainTextEdit>(form, "Memo1")->toPlainText(); }
  QPushButton* button(const char* name) { return control<QPushButton>(form, name); }
  QTimer* timer() { return control<QTimer>(form, "Timer1"); }
  void select(int station) { testing::select_node(nodes, station); }

  ServoSimRig rig;
  QWidget* form = rig.app.form("TForm8");
  SelfLearningWindow* window = qobject_cast<SelfLearningWindow*>(form);
  QComboBox* nodes = control<QComboBox>(form, "ComboBox1");
};

TEST_F(SelfLearningTest, TheWindowAsBuilt) {
  EXPECT_FALSE(timer()->isActive());
  EXPECT_EQ(button("Button6")->text(), QStringLiteral("惯量比自学习"));
  EXPECT_FALSE(button("Button5")->isVisible());
  EXPECT_FALSE(button("Button7")->isVisible());
  EXPECT_TRUE(button("Button3")->isVisible());
  // Opening changes no window code: the traffic stays with the main window.
  EXPECT_EQ(rig.st().active_form, 1);
}

TEST_F(SelfLearningTest, StartAndPollToDoneInBothLayouts) {
  struct Case {
    int station;
    uint16_t reg, value;
  };
  // Another window left the other layout's variant behind each time.
  const Case cases[] = {{1, 0x0028, 4}, {2, 0x0036, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.station);
    const auto a = static_cast<uint8_t>(c.station);
    select(c.station);
    rig.st().servo_subtype = c.station == 1 ? 2 : 1;
    sim::servo_set_self_learning(rig.servo(a), 2);
    rig.line.clear_journal();
    QTest::mouseClick(button("Button6"), Qt::LeftButton);
    EXPECT_EQ(rig.writes(a), (std::vector<Write>{{6, c.reg, c.value}}));
    EXPECT_TRUE(log().endsWith(QStringLiteral("节点%1：惯量比自学习中...").arg(c.station)));
    EXPECT_FALSE(button("Button6")->isEnabled());
    EXPECT_TRUE(button("Button2")->isEnabled());
    EXPECT_TRUE(timer()->isActive());

    ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
    EXPECT_TRUE(log().endsWith(QStringLiteral("节点%1：自学习完成！！").arg(c.station)));
    EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点%1：自学习完成！！").arg(c.station));
    EXPECT_TRUE(button("Button6")->isEnabled());
    const Reads polls = rig.reads(a);
    ASSERT_GE(polls.size(), 3u);  // two busy answers, then done
    for (const auto& p : polls) EXPECT_EQ(p, (std::pair<uint16_t, uint16_t>{c.reg, 1}));
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
  rig.line.clear_journal();
  ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
  EXPECT_TRUE(rig.reads(1).empty());
  EXPECT_FALSE(rig.reads(2).empty());
  for (const auto& p : rig.reads(2)) EXPECT_EQ(p.first, 0x36);
  EXPECT_TRUE(log().endsWith(QStringLiteral("节点2：自学习完成！！")));
  for (const char* b : {"Button1", "Button6", "Button2", "Button3", "Button5", "Button7"})
    EXPECT_TRUE(button(b)->isEnabled()) << b;
}

TEST_F(SelfLearningTest, AFailedStartFreesItsButtonAndLeavesThePollAlone) {
  select(1);
  sim::Fault silent;
  silent.kind = sim::Fault::Silent;
  rig.line.inject(1, silent);
  QTest::mouseClick(button("Button3"), Qt::LeftButton);
  EXPECT_EQ(log(), QStringLiteral("末端振动抑制自学习失败**"));
  EXPECT_TRUE(button("Button3")->isEnabled());
  EXPECT_FALSE(timer()->isActive());

  // The drive refuses the value: an exception reply is a failure too.
  sim::Fault refuse;
  refuse.kind = sim::Fault::Exception;
  rig.line.inject(1, refuse);
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
  rig.line.clear_journal();
  QTest::qWait(100);
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

TEST_F(SelfLearningTest, MemoLogsResultsOnlyFramesGoToTheMainWindow) {
  select(1);
  sim::servo_set_self_learning(rig.servo(1), 0);
  auto* traffic = control<QPlainTextEdit>(rig.app.form("TForm1"), "Memo1");
  traffic->clear();
  QTest::mouseClick(button("Button3"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([&] { return !timer()->isActive(); }));
  EXPECT_EQ(log(), QStringLiteral("节点1：末端振动抑制自学习中...\n节点1：自学习完成！！"));
  // Start and poll frames: "01 06 00 5A ..." and "01 03 00 5A ...".
  EXPECT_TRUE(traffic->toPlainText().contains(QStringLiteral("01 06 00 5A 00 02")));
  EXPECT_TRUE(traffic->toPlainText().contains(QStringLiteral("01 03 00 5A 00 01")));
}

// A poll without an accepted reply is silent and the polling goes on; the
// polls are run by hand so that each one is seen on its own.
TEST_F(SelfLearningTest, APollWithoutAnAcceptedReplyChangesNothing) {
  select(1);
  timer()->setInterval(3600 * 1000);
  sim::servo_set_self_learning(rig.servo(1), 0);  // the first poll that gets through reads 1
  QTest::mouseClick(button("Button6"), Qt::LeftButton);
  ASSERT_TRUE(timer()->isActive());
  const QString started = log();

  sim::Fault::Kind kinds[] = {sim::Fault::Silent, sim::Fault::BadCrc, sim::Fault::WrongAddress,
                              sim::Fault::Exception, sim::Fault::Short};
  for (const sim::Fault::Kind kind : kinds) {
    SCOPED_TRACE(static_cast<int>(kind));
    sim::Fault fault;
    fault.kind = kind;
    fault.function = 0x03;
    rig.line.inject(1, fault);
    window->Timer1Timer();
    EXPECT_EQ(log(), started);
    EXPECT_TRUE(timer()->isActive());
    EXPECT_FALSE(button("Button6")->isEnabled());
    EXPECT_EQ(rig.st().write_busy, 0);
  }
  rig.line.clear_faults();
  window->Timer1Timer();
  EXPECT_TRUE(log().endsWith(QStringLiteral("节点1：自学习完成！！")));
  EXPECT_FALSE(timer()->isActive());
  EXPECT_TRUE(button("Button6")->isEnabled());
}

}  // namespace
}  // namespace velmo
