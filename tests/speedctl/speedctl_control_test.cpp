// The speed-controller control window (TForm19) against simulated speed
// controllers: the run settings each motor series takes, the commands with
// the bus takeover and the run-state lamps.
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

}  // namespace
}  // namespace velmo
