// What the inverter control window (TForm9) claims after replies that went
// wrong: old values and lamps are marked as old, a command's failure stays on
// Panel1 through the read that follows it, and leaving over a silent line
// says that the drive may still run.
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "inverter/inverter_control_window.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "inverter_control_rig.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::fault;
using testing::read;

struct InverterStatusMarksTest : testing::InverterControlRig {
  bool stale(const char* name) { return is_marked_stale(ctl<QWidget>(name)); }
  bool lamp_stale(const char* name) { return ctl<StatusLamp>(name)->stale(); }
  QColor base(const char* name) { return ctl<QLineEdit>(name)->palette().color(QPalette::Active, QPalette::Base); }
};

TEST_F(InverterStatusMarksTest, AFailedReadMarksWhatItLeftAsOldUntilTheNextAcceptedOne) {
  click("Button7");
  ASSERT_EQ(ctl<QLineEdit>("Edit5")->text(), "无故障");
  const QString frequency = ctl<QLineEdit>("Edit2")->text();
  const QColor fresh = base("Edit2");
  EXPECT_FALSE(stale("Edit2"));
  EXPECT_FALSE(ctl<QLabel>("LabelStale")->isVisibleTo(w));

  // The status block gets a garbled reply; the fault read still works.
  t.sim.inject(1, fault(sim::Fault::BadCrc, 0x2000));
  click("Button7");
  EXPECT_EQ(ctl<QLineEdit>("Edit2")->text(), frequency);  // kept, but marked
  for (const char* name : {"Edit2", "Edit3", "Edit4", "Edit7", "Edit8"}) EXPECT_TRUE(stale(name)) << name;
  for (const char* name : {"Edit5", "Edit6"}) EXPECT_FALSE(stale(name)) << name;
  for (const char* name : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_TRUE(lamp_stale(name)) << name;
  EXPECT_TRUE(ctl<StatusLamp>("Shape3")->lit());  // the last state read, shown as old
  EXPECT_TRUE(ctl<QLabel>("LabelStale")->isVisibleTo(w));
  EXPECT_NE(base("Edit2"), fresh);

  // Now only the fault read fails: the block is current, the fault fields old.
  t.sim.inject(1, fault(sim::Fault::BadCrc, 0x3000));
  click("Button7");
  EXPECT_FALSE(stale("Edit2"));
  EXPECT_FALSE(lamp_stale("Shape3"));
  for (const char* name : {"Edit5", "Edit6"}) EXPECT_TRUE(stale(name)) << name;

  // An accepted read of both: nothing is old any more.
  click("Button7");
  for (const char* name : {"Edit2", "Edit5", "Edit6"}) EXPECT_FALSE(stale(name)) << name;
  EXPECT_FALSE(ctl<QLabel>("LabelStale")->isVisibleTo(w));
  EXPECT_EQ(base("Edit2"), fresh);
}

TEST_F(InverterStatusMarksTest, AFieldNotUsedStaysGreyWhenTheReadFails) {
  select(2);
  const QColor grey = base("Edit7");
  ASSERT_FALSE(ctl<QLineEdit>("Edit7")->isEnabled());
  t.sim.inject(2, fault(sim::Fault::BadCrc, 0x2000));
  click("Button7");
  EXPECT_TRUE(stale("Edit2"));
  EXPECT_EQ(base("Edit7"), grey);
  EXPECT_NE(base("Edit2"), grey);
}

TEST_F(InverterStatusMarksTest, ACommandFailureStaysOnThePanelThroughTheReadAfterIt) {
  t.sim.inject(1, fault(sim::Fault::BadCrc, 0x1000));
  click("Button3");
  // The run state was left unknown, so the status was read at once.
  const std::vector<testing::Frame> reads = t.reads(1);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads.front(), read(1, 0x2000, 6));
  EXPECT_EQ(panel(), "节点1：正转控制失败**");
  // The engineer's own read shows its result again.
  click("Button7");
  EXPECT_EQ(panel(), "节点1：状态信息读取成功！！");
}

// What is shown after another node is chosen is not that node's status: it
// looks stale and says so until the new node's first accepted read, which
// a failure of that read does not fake.
TEST_F(InverterStatusMarksTest, ANodeChangeShowsTheStatusAsNotYetReadForTheNewNode) {
  click("Button3");
  click("Button7");
  ASSERT_TRUE(ctl<StatusLamp>("Shape1")->lit());
  const QString frequency = ctl<QLineEdit>("Edit2")->text();
  ASSERT_FALSE(stale("Edit2"));

  click("Button5");  // the list leaves no running drive
  select(2);
  EXPECT_EQ(panel(), "节点2：状态尚未读取");
  EXPECT_TRUE(ctl<QLabel>("LabelStale")->isVisibleTo(w));
  EXPECT_EQ(ctl<QLabel>("LabelStale")->text(), "节点2：状态尚未读取");
  EXPECT_EQ(ctl<QLineEdit>("Edit2")->text(), frequency);  // node 1's, marked
  for (const char* name : {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6"}) EXPECT_TRUE(stale(name)) << name;
  EXPECT_EQ(ctl<QLineEdit>("Edit2")->toolTip(), "节点2：状态尚未读取");
  for (const char* name : {"Shape1", "Shape2", "Shape3", "Shape4"}) EXPECT_TRUE(lamp_stale(name)) << name;

  // A failed read of the new node still leaves it unread.
  t.sim.inject(2, fault(sim::Fault::BadCrc, 0x2000));
  click("Button7");
  EXPECT_TRUE(stale("Edit2"));
  EXPECT_EQ(ctl<QLabel>("LabelStale")->text(), "节点2：状态尚未读取");

  click("Button7");
  EXPECT_EQ(panel(), "节点2：状态信息读取成功！！");
  for (const char* name : {"Edit2", "Edit5"}) EXPECT_FALSE(stale(name)) << name;
  EXPECT_FALSE(lamp_stale("Shape3"));
  EXPECT_TRUE(ctl<StatusLamp>("Shape3")->lit());
  EXPECT_FALSE(ctl<QLabel>("LabelStale")->isVisibleTo(w));

  // Now read, a failure says so; back on node 1, it is unread again.
  t.sim.inject(2, fault(sim::Fault::BadCrc, 0x2000));
  click("Button7");
  EXPECT_EQ(ctl<QLabel>("LabelStale")->text(), "状态读取失败：显示的是上次读取的状态，不是当前状态");
  select(1);
  EXPECT_EQ(panel(), "节点1：状态尚未读取");
  EXPECT_EQ(ctl<QLabel>("LabelStale")->text(), "节点1：状态尚未读取");
  click("Button5");
}

TEST_F(InverterStatusMarksTest, LeavingOverASilentLineSaysTheDriveMayStillRun) {
  struct Case {
    const char* what;
    bool silent_after_run;
    bool warned;
  } cases[] = {{"stopped on a live line", false, false}, {"running, then the line fell silent", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    t.app.main_window().N8Click();
    t.notifier.messages.clear();
    click("Button3");
    ASSERT_EQ(t.st().bpq_run_state[1], 1);
    if (c.silent_after_run) {
      t.sim.inject(1, fault(sim::Fault::Silent, std::nullopt, -1));
      click("Button7");  // no byte at all: the exit no longer holds the user
      ASSERT_EQ(t.st().bpq_run_state[1], 0);
    } else {
      click("Button5");
    }
    click("Button1");
    EXPECT_FALSE(w->isVisible());
    const bool warned = t.notifier.messages.join('\n').contains("节点1：线路无应答，变频器可能仍在运转，请到现场确认！！");
    EXPECT_EQ(warned, c.warned) << t.notifier.messages.join('\n').toStdString();
    t.sim.clear_faults();
  }
}

}  // namespace
}  // namespace velmo
