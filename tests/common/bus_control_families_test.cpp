// The inverter and speed-controller control windows on the bus-control base:
// the exit guard over the family's run states and the restore of the
// flagged drive's own control settings.
#include <QCheckBox>
#include <gtest/gtest.h>

#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

TEST(BusControlFamilies, TheExitWaitsForStoppedDrivesAndRestoresTheFlaggedOne) {
  testing::AppOnSim t;
  t.sim.add(sim::make_inverter(2, 4015));
  t.sim.add(sim::make_speed_controller(3, 1015, 1, 1));
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  DriveLinkState& st = t.st();
  // The settings read at connection, straight from the simulated drives.
  std::vector<Frame> inverter_restore;
  for (int reg : {4, 5, 8, 9}) inverter_restore.push_back(write(2, reg, t.sim.station(2)->reg(reg)));

  struct Case {
    const char* form;
    uint8_t station;
    ByAddr<uint8_t> DriveLinkState::*run_state;
    ByPos<uint8_t> DriveLinkState::*restore_flags;
    const char* running;
    std::vector<Frame> restore;
  };
  const Case cases[] = {
      {"TForm9", 2, &DriveLinkState::bpq_run_state, &DriveLinkState::bpq_restore_flags,
       "退出前，请确保电机停止且变频器无故障！！", inverter_restore},
      {"TForm19", 3, &DriveLinkState::tsq_run_state, &DriveLinkState::tsq_restore_flags,
       "退出前，请确保电机停止且调速器无故障！！", {write(3, 2, 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    QWidget* w = t.form(c.form);
    w->show();
    t.sim.clear_journal();
    (st.*c.run_state)[c.station] = 1;
    (st.*c.restore_flags)[0] = 1;
    testing::click(w, "Button1");
    EXPECT_EQ(t.notifier.messages.value(t.notifier.messages.size() - 1), QString::fromUtf8(c.running));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(t.writes(c.station).empty());

    // The refusal switched continuous reading on, which holds the exit button.
    auto* reading = control<QCheckBox>(w, "CheckBox1");
    EXPECT_TRUE(reading->isChecked());
    reading->setChecked(false);
    (st.*c.run_state)[c.station] = 0;
    t.sim.clear_journal();
    testing::click(w, "Button1");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(t.writes(c.station), c.restore);
    EXPECT_EQ((st.*c.restore_flags)[0], 0);
  }
}

}  // namespace
}  // namespace velmo
