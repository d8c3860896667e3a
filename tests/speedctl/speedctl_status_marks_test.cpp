// The speed-controller control window (TForm19) before its first read and after
// replies that went wrong: lamps not read or old are marked; leaving over a
// silent line says that the drive may still run.
#include <QComboBox>
#include <QLabel>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "main/main_window.h"
#include "sim/speed_controller_station.h"
#include "speedctl/speedctl_control_window.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::fault;

TEST(SpeedCtlStatusMarks, UnreadAndOldLampsAreMarkedAndLeavingASilentRunningDriveWarns) {
  velmo::testing::AppOnSim t;
  t.sim.add(sim::make_speed_controller(1, 1015, 1, 1));
  t.search(1);
  ASSERT_EQ(t.st().tsq_count, 1);
  QWidget* w = t.form("TForm19");
  t.app.main_window().RS4851Click();
  auto lamp = [&](const char* name) { return control<StatusLamp>(w, name); };
  auto notice = [&] { return control<QLabel>(w, "LabelStale")->isVisibleTo(w); };

  EXPECT_EQ(control<QLabel>(w, "Panel1")->text(), "节点1：状态尚未读取");
  for (const char* name : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_TRUE(!lamp(name)->lit() && lamp(name)->stale()) << name;
  EXPECT_TRUE(notice());
  EXPECT_EQ(control<QLabel>(w, "LabelStale")->text(), "节点1：状态尚未读取");
  testing::click(w, "Button3");
  ASSERT_EQ(t.st().tsq_run_state[1], 1);
  testing::click(w, "Button7");
  ASSERT_TRUE(lamp("Shape1")->lit());
  for (const char* name : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_FALSE(lamp(name)->stale()) << name;
  EXPECT_FALSE(notice());

  t.sim.inject(1, fault(sim::Fault::BadCrc, 0x2001));
  testing::click(w, "Button7");
  EXPECT_TRUE(lamp("Shape1")->lit());
  EXPECT_TRUE(lamp("Shape1")->stale());
  EXPECT_TRUE(notice());
  testing::click(w, "Button7");
  EXPECT_FALSE(lamp("Shape1")->stale());
  EXPECT_FALSE(notice());

  t.sim.inject(1, fault(sim::Fault::Silent, std::nullopt, -1));
  testing::click(w, "Button7");
  EXPECT_TRUE(lamp("Shape1")->stale());
  ASSERT_EQ(t.st().tsq_run_state[1], 0);
  t.notifier.messages.clear();
  testing::click(w, "Button1");
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(t.notifier.messages.join('\n').contains("节点1：线路无应答，调速器可能仍在运转，请到现场确认！！"))
      << t.notifier.messages.join('\n').toStdString();
}

TEST(SpeedCtlStatusMarks, ANodeChangeShowsTheStatusAsNotYetReadForTheNewNode) {
  velmo::testing::AppOnSim t;
  t.sim.add(sim::make_speed_controller(1, 1015, 1, 1));
  t.sim.add(sim::make_speed_controller(2, 1015, 1, 1));
  t.search(2);
  ASSERT_EQ(t.st().tsq_count, 2);
  QWidget* w = t.form("TForm19");
  t.app.main_window().RS4851Click();
  auto lamp = [&](const char* name) { return control<StatusLamp>(w, name); };
  auto notice = [&] { return control<QLabel>(w, "LabelStale"); };
  auto panel = [&] { return control<QLabel>(w, "Panel1")->text(); };

  testing::click(w, "Button3");
  testing::click(w, "Button7");
  ASSERT_TRUE(lamp("Shape1")->lit());
  ASSERT_FALSE(lamp("Shape1")->stale());

  testing::click(w, "Button5");  // the list leaves no running drive
  testing::select_node(control<QComboBox>(w, "ComboBox1"), 2);
  EXPECT_EQ(panel(), "节点2：状态尚未读取");
  EXPECT_TRUE(lamp("Shape1")->lit());  // node 1's state, marked
  for (const char* name : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_TRUE(lamp(name)->stale()) << name;
  EXPECT_TRUE(notice()->isVisibleTo(w));
  EXPECT_EQ(notice()->text(), "节点2：状态尚未读取");

  testing::click(w, "Button7");
  EXPECT_EQ(panel(), "节点2：状态信息读取成功！！");
  EXPECT_TRUE(lamp("Shape3")->lit());
  EXPECT_FALSE(lamp("Shape3")->stale());
  EXPECT_FALSE(notice()->isVisibleTo(w));

  testing::select_node(control<QComboBox>(w, "ComboBox1"), 1);
  testing::click(w, "Button5");
}

}  // namespace
}  // namespace velmo
