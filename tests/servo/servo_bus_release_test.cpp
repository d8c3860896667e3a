// Leaving bus control, shared by the servo windows: the run scan and the
// restore of the flagged drives one at a time, with what the outcome says.
#include <gtest/gtest.h>

#include "drivelink/batch_writes.h"
#include "servo/servo_bus_release.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {


TEST(ServoBusRelease, AnyRunningLooksAtTheListedServosOnly) {
  DriveLinkState st;
  st.servo_count = 2;
  st.servo_nodes[0] = 3;
  st.servo_nodes[1] = 7;
  EXPECT_FALSE(servo::any_servo_running(st));
  st.servo_run_state[9] = 1;  // not listed
  EXPECT_FALSE(servo::any_servo_running(st));
  st.servo_run_state[7] = 2;  // faulted counts
  EXPECT_TRUE(servo::any_servo_running(st));
  EXPECT_EQ(st.servo_any_running, 1);
  st.servo_run_state[7] = 0;
  EXPECT_FALSE(servo::any_servo_running(st));
  EXPECT_EQ(st.servo_any_running, 0);
}

// Servo 1 is another window's, servo 2 this window's but held by a third
// one now: nothing is written, and servo 2 passes to the window holding it.
TEST(ServoBusRelease, AWindowRestoresOnlyItsOwnDrivesAndLeavesAHeldOneToItsHolder) {
  testing::AppOnSim rig;
  ASSERT_TRUE(rig.connect_servos());
  DriveLinkState& st = rig.st();
  st.servo_restore_flags[1] = 13;
  st.servo_restore_flags[2] = 4;
  st.servo_rs485_mode[2] = 12;
  const auto outcome = servo::restore_own_servos(st, rig.app.batch(), 4, [](uint8_t a) {
    return a == 2 ? std::optional<uint8_t>(3) : std::nullopt;
  });
  EXPECT_FALSE(outcome.needed);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(st.servo_restore_flags[1], 13);
  EXPECT_EQ(st.servo_restore_flags[2], 3);
  EXPECT_EQ(st.servo_rs485_mode[2], 12);
  EXPECT_TRUE(rig.writes(1).empty());
  EXPECT_TRUE(rig.writes(2).empty());
}

TEST(ServoBusRelease, TheFirstFailureEndsTheRestoreAndSaysWhetherTheLineAnswered) {
  struct Case {
    const char* name;
    sim::Fault::Kind kind;
    bool line_dead;
  };
  const Case cases[] = {{"refused", sim::Fault::Exception, false},
                        {"silent", sim::Fault::Silent, true},
                        {"garbled", sim::Fault::BadCrc, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::AppOnSim rig;
    ASSERT_TRUE(rig.connect_servos());
    DriveLinkState& st = rig.st();
    st.servo_restore_flags[1] = st.servo_restore_flags[2] = 4;
    st.servo_rs485_mode[1] = st.servo_rs485_mode[2] = 13;
    rig.sim.inject(2, testing::fault(c.kind, std::nullopt, -1));

    const auto outcome = servo::restore_own_servos(st, rig.app.batch(), 4, {});
    EXPECT_TRUE(outcome.needed);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.line_dead, c.line_dead);
    // Only the drive written back loses its flag; the restore stays pending.
    EXPECT_EQ(st.servo_restore_flags[1], 0);
    EXPECT_EQ(st.servo_restore_flags[2], 4);
    EXPECT_EQ(st.servo_restore_pending, 1);
    // The drive written back is out of bus control; the other is not.
    EXPECT_EQ(st.servo_rs485_mode[1], 0);
    EXPECT_EQ(st.servo_rs485_mode[2], 13);
    EXPECT_FALSE(rig.writes(1).empty());

    // Once the drive answers again, the next try restores it alone.
    rig.sim.clear_faults();
    rig.sim.clear_journal();
    const auto again = servo::restore_own_servos(st, rig.app.batch(), 4, {});
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(st.servo_restore_flags[2], 0);
    EXPECT_EQ(st.servo_restore_pending, 0);
    EXPECT_TRUE(rig.writes(1).empty());
    EXPECT_FALSE(rig.writes(2).empty());
  }
}

}  // namespace
}  // namespace velmo
