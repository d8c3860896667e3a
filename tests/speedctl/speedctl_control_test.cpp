// The speed-controller control window (TForm19) against simulated speed
// controllers: the run settings each motor series takes, the commands with
// the bus takeover and the run-state lamps.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "main/main_window.h"
#include "sim/speed_controller_station.h"
#include "speedctl/speedctl_control_window.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

struct SpeedCtlControlTest : ::testing::Test {
  velmo::testing::AppOnSim t;
  SpeedCtlControlWindow* w = nullptr;

  void SetUp() override {
    // Stations 1..5 have motor series 1..5; F-02 is 1 (not the bus) on all.
    for (int a = 1; a <= 5; ++a) t.sim.add(sim::make_speed_controller(a, 1015, a, 1));
    t.search(5);
    ASSERT_EQ(t.st().tsq_count, 5);
    w = dynamic_cast<SpeedCtlControlWindow*>(t.form("TForm19"));
    t.app.main_window().RS4851Click();
    t.sim.clear_journal();
  }
  template <typename T>
  T* ctl(const char* name) { return control<T>(w, name); }
  void click(const char* name) { testing::click(w, name); }
  void select(int station) { testing::select_node(ctl<QComboBox>("ComboBox1"), station); }
  QStringList log() { return shown_text(ctl<QPlainTextEdit>("Memo2")).split('\n', Qt::SkipEmptyParts); }
};

TEST_F(SpeedCtlControlTest, TheRunSettingsFitTheMotorSeries) {
  ctl<QComboBox>("ComboBox2")->setCurrentIndex(1);  // no brake at stop: 1
  struct Case {
    int series;
    std::vector<Frame> settings;
  };
  const Case cases[] = {
      {1, {write(1, 0x1001, 1000)}},
      {2, {write(2, 0x1001, 1000), write(2, 0x1003, 1)}},
      {3, {write(3, 0x1002, 50)}},
      {4, {write(4, 0x1003, 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.series);
    select(c.series);
    t.sim.clear_journal();
    // Series 2 sends both writes even when the first fails.
    if (c.series == 2) t.sim.inject(2, testing::fault(sim::Fault::Exception, 0x1001));
    click("Button2");
    std::vector<Frame> want = {write(c.series, 2, 2)};  // the takeover
    want.insert(want.end(), c.settings.begin(), c.settings.end());
    EXPECT_EQ(testing::writes_of(t.sim), want);
  }
  EXPECT_TRUE(log().contains("节点2：转速设定失败**"));
  EXPECT_TRUE(log().contains("节点2：抱闸设定成功！！"));
  select(5);
  EXPECT_FALSE(ctl<QPushButton>("Button2")->isEnabled());
}

TEST_F(SpeedCtlControlTest, ForwardAfterTheTakeoverRunsAndTheLampsShowIt) {
  select(1);
  click("Button3");
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 2, 2), write(1, 0x1000, 1)}));
  EXPECT_EQ(t.st().tsq_run_state[1], 1);
  click("Button7");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape1")->lit());
  // Status word 4 is no state of this family: every lamp off.
  t.sim.station(1)->set_reg(sim::SpeedControllerStation::kRunState, 4);
  click("Button7");
  for (const char* lamp : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_FALSE(control<StatusLamp>(w, lamp)->lit());
  click("Button4");
  EXPECT_EQ(testing::writes_of(t.sim).back(), write(1, 0x1000, 2));  // a reversal while running is the drive's business
}

TEST_F(SpeedCtlControlTest, AFailedTakeoverStillSendsTheSettingsAndSaysSo) {
  select(1);
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 2));
  click("Button2");
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 2, 2), write(1, 0x1001, 1000)}));
  const QString unconfirmed = QStringLiteral("节点1：运转参数设定命令已发送，但RS485控制设置失败（寄存器2）**");
  EXPECT_EQ(ctl<QLabel>("Panel1")->text(), unconfirmed);
  EXPECT_EQ(log().mid(log().size() - 2), (QStringList{QStringLiteral("节点1：转速设定成功！！"), unconfirmed}));
  t.sim.clear_journal();
  click("Button3");
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 2, 2), write(1, 0x1000, 1)}));
  EXPECT_EQ(ctl<QLabel>("Panel1")->text(), QStringLiteral("节点1：正转！！"));
}

TEST_F(SpeedCtlControlTest, AFaultOutlivesAStopAndHoldsTheExitUntilItsReset) {
  select(1);
  click("Button3");
  auto& drive = dynamic_cast<sim::SpeedControllerStation&>(*t.sim.station(1));
  drive.set_fault(true);
  t.sim.clear_journal();
  click("Button5");  // the stop is taken, the fault stays
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 0x1000, 0)}));
  EXPECT_EQ(t.st().tsq_run_state[1], 0);
  click("Button7");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape4")->lit());
  EXPECT_EQ(t.st().tsq_run_state[1], 2);
  click("Button1");
  EXPECT_EQ(t.notifier.messages.last(), QStringLiteral("退出前，请确保电机停止且调速器无故障！！"));
  EXPECT_TRUE(w->isVisible());
  ctl<QCheckBox>("CheckBox1")->setChecked(false);

  // The reset: 8, without a takeover; the run state 0.
  t.sim.clear_journal();
  click("Button6");
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 0x1000, 8)}));
  EXPECT_EQ(t.st().tsq_run_state[1], 0);
  EXPECT_EQ(log().last(), QStringLiteral("节点1：故障复位成功！！"));
  click("Button7");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape3")->lit());
  t.sim.clear_journal();
  click("Button1");
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 2, 1)}));  // the mode read at connection
}

TEST_F(SpeedCtlControlTest, AStoppingDriveHoldsTheExitUntilItsStateSaysStopped) {
  select(2);
  auto& drive = dynamic_cast<sim::SpeedControllerStation&>(*t.sim.station(2));
  click("Button3");
  drive.set_state_lag(1);
  click("Button5");
  EXPECT_EQ(t.st().tsq_run_state[2], 0);
  click("Button7");  // still running down
  EXPECT_TRUE(control<StatusLamp>(w, "Shape1")->lit());
  EXPECT_EQ(t.st().tsq_run_state[2], 1);
  click("Button1");
  EXPECT_TRUE(w->isVisible());
  ctl<QCheckBox>("CheckBox1")->setChecked(false);
  click("Button7");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape3")->lit());
  EXPECT_EQ(t.st().tsq_run_state[2], 0);
  click("Button1");
  EXPECT_FALSE(w->isVisible());
}

TEST_F(SpeedCtlControlTest, FailedReadsKeepContinuousReadingAndClearKeepsTheCounters) {
  auto* reading = ctl<QCheckBox>("CheckBox1");
  reading->setChecked(true);
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 0x2001, 3));
  for (int k = 0; k < 3; ++k) click("Button7");
  EXPECT_TRUE(reading->isChecked());
  EXPECT_EQ(t.st().read_fail_count, 3u);
  EXPECT_EQ(log().last(), QStringLiteral("节点1：调速器状态读取失败**"));
  EXPECT_EQ(ctl<QLabel>("Panel1")->text(), QStringLiteral("节点1：调速器状态读取失败"));
  reading->setChecked(false);
  click("Button8");
  EXPECT_EQ(t.st().read_fail_count, 3u);
  for (const char* memo : {"Memo1", "Memo2"}) EXPECT_TRUE(testing::memo_lines(w, memo).isEmpty()) << memo;
}

}  // namespace
}  // namespace velmo
