// Switching drives to bus control and writing their own settings back.
#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "link/modbus_frame.h"
#include "drivelink/batch_writes.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

// Function-06 writes to one station.
std::vector<Frame> writes_to(const sim::SimLine& sim, uint8_t station) { return testing::frames_of(sim, station, {6}); }

struct BatchFixture : ::testing::Test {
  testing::AppOnSim t;
  BatchWrites& batch() { return t.app.batch(); }
};

TEST_F(BatchFixture, NothingFlaggedSendsNothing) {
  t.sim.add(sim::make_servo(1));
  t.sim.add(sim::make_inverter(2));
  t.sim.add(sim::make_speed_controller(3));
  t.search(3);
  t.sim.clear_journal();
  batch().bpq_parameter_save();
  EXPECT_EQ(t.st().batch_go, 1);
  batch().tsq_parameter_save();
  EXPECT_EQ(t.st().batch_go, 1);
  EXPECT_EQ(t.sim.request_count(), 0u);
}

TEST_F(BatchFixture, ServoRestoreWritesExactlyTheSnapshotInEachLayout) {
  t.sim.add(sim::make_servo(1, 6101, 101));  // layout 1
  t.sim.add(sim::make_servo(2, 6101, 102));  // layout 2
  t.sim.add(sim::make_servo(3, 6101, 102));  // not flagged
  for (uint8_t a : {1, 2}) {
    t.sim.station(a)->set_reg(20, 1000 + a);
    t.sim.station(a)->set_reg(132, 65535);  // a negative value on the drive
  }
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  // Bus control changed the drives meanwhile.
  for (uint8_t a : {1, 2}) {
    t.sim.station(a)->set_reg(0, 9);
    t.sim.station(a)->set_reg(20, 7);
  }
  t.st().servo_restore_flags[1] = t.st().servo_restore_flags[2] = 4;
  t.sim.clear_journal();
  for (uint8_t a : {1, 2}) {
    batch().parameter_save(a);
    EXPECT_EQ(t.st().batch_go, 1);
  }
  for (uint8_t a : {1, 2}) EXPECT_EQ(writes_to(t.sim, a), t.restore_writes(a)) << int(a);
  // Layout 1's list is checked on the wire at connect; layout 2's here.
  std::vector<int> regs;
  for (const Frame& f : writes_to(t.sim, 2)) regs.push_back(f.start);
  EXPECT_EQ(regs, (std::vector<int>{0, 0x1004, 0x1003, 0, 20, 37, 65, 100, 101, 102, 104, 108, 120, 121, 122, 124, 128,
                                    129, 130, 131, 132}));
  EXPECT_TRUE(writes_to(t.sim, 3).empty());
  // Layout 1 gets registers 40, 70 and 90 back as 1; the rest as read at connect.
  for (int reg : {40, 70, 90}) EXPECT_EQ(t.sim.station(1)->reg(reg), 1);
  for (uint8_t a : {1, 2}) {
    EXPECT_EQ(t.sim.station(a)->reg(20), 1000 + a);
    EXPECT_EQ(t.sim.station(a)->reg(132), 65535);
  }
  // Whoever asked for the restore clears the servo flags.
  EXPECT_EQ(t.st().servo_restore_flags[1], 4);
}

// The list still goes back after a garbled mode reply, but the restore is
// not reported whole: it failed, and why is the garbled write's outcome,
// not the last (accepted) one's; so does the main window's last line.
// A mode write whose reply came back garbled is settled by reading the
// register back: taken, the restore is whole; not taken, the settings still
// go back but the restore fails, naming the step.
TEST_F(BatchFixture, ServoModeWriteWithBadCrcIsSettledByReadingItBack) {
  t.sim.add(sim::make_servo(1, 6101, 102));
  t.search(1);
  t.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x1004, 1, 6));
  t.sim.clear_journal();
  batch().parameter_save(1);
  EXPECT_EQ(writes_to(t.sim, 1).size(), 3u + 18u);
  EXPECT_EQ(t.st().batch_go, 1);
  EXPECT_TRUE(testing::memo_lines(t.form("TForm1"), "Memo2").contains("节点1：寄存器4100的写入应答无效，读回为0，已写入"));

  // The drive holds another value: it did not take the write.
  t.servo(1).pin_reg(0x1004, 2);
  t.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x1004, 1, 6));
  t.sim.clear_journal();
  batch().parameter_save(1);
  EXPECT_EQ(writes_to(t.sim, 1).size(), 3u + 18u);
  EXPECT_EQ(t.st().batch_go, 0);
  EXPECT_EQ(batch().last_outcome().kind, ExchangeOutcome::BadCrc);
  EXPECT_EQ(t.ctl<QLabel>("TForm1", "Panel1")->text(), "相关参数恢复失败（停止运转控制失败）");
  EXPECT_TRUE(testing::memo_lines(t.form("TForm1"), "Memo2").contains("节点1：寄存器4100的写入应答无效，读回为2，未写入**"));

  // A restore that worked says so, with no failure left from the one before.
  t.servo(1).unpin_reg(0x1004);
  t.sim.clear_faults();
  batch().parameter_save(1);
  EXPECT_EQ(t.st().batch_go, 1);
  EXPECT_TRUE(batch().last_outcome().ok());
}

TEST_F(BatchFixture, InverterRestoreStopsAtTheFirstFailure) {
  t.sim.add(sim::make_inverter(1));
  t.sim.add(sim::make_inverter(2));
  t.search(2);
  ASSERT_EQ(t.st().connected, 1u);
  t.st().bpq_restore_flags[0] = t.st().bpq_restore_flags[1] = 1;
  // The write and the read-back that would settle it go unanswered.
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 5, 2));
  t.sim.clear_journal();
  batch().bpq_parameter_save();

  EXPECT_EQ(t.st().batch_go, 0);
  const auto first = writes_to(t.sim, 1);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].start, 4);
  EXPECT_EQ(first[1].start, 5);
  EXPECT_TRUE(writes_to(t.sim, 2).empty());
  // Neither drive got all four settings back: both stay flagged.
  EXPECT_EQ(t.st().bpq_restore_flags[0], 1);
  EXPECT_EQ(t.st().bpq_restore_flags[1], 1);
  EXPECT_EQ(t.ctl<QLabel>("TForm1", "Panel1")->text(), "相关参数恢复失败（寄存器5）");

  // The next attempt restores both.
  t.sim.clear_journal();
  batch().bpq_parameter_save();
  EXPECT_EQ(t.st().batch_go, 1);
  EXPECT_EQ(writes_to(t.sim, 1).size(), 4u);
  EXPECT_EQ(writes_to(t.sim, 2).size(), 4u);
  EXPECT_EQ(t.st().bpq_restore_flags[0], 0);
  EXPECT_EQ(t.st().bpq_restore_flags[1], 0);
}

TEST_F(BatchFixture, SwitchToBusControlFailureIsShownInTheAskingWindow) {
  t.sim.add(sim::make_inverter(1));
  t.sim.add(sim::make_speed_controller(2));
  t.search(2);
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 8));
  t.sim.clear_journal();
  batch().bpq_rs485_set();
  // All four writes are always sent.
  EXPECT_EQ(writes_to(t.sim, 1), (std::vector<Frame>{write(1, 4, 4), write(1, 5, 4), write(1, 8, 8), write(1, 9, 8)}));
  EXPECT_EQ(t.st().batch_go, 0);
  // The write after the lost one worked: the last line still names the lost one.
  EXPECT_TRUE(shown_text(t.ctl<QPlainTextEdit>("TForm9", "Memo3"))
                  .endsWith("相关参数设置失败（寄存器8）**\nRS485控制设置未全部成功（寄存器8）**"));
  EXPECT_EQ(t.ctl<QLabel>("TForm9", "Panel1")->text(), "RS485控制设置未全部成功（寄存器8）");

  batch().tsq_rs485_set();
  EXPECT_EQ(writes_to(t.sim, 2), std::vector<Frame>{write(2, 2, 2)});
  EXPECT_EQ(t.st().batch_go, 1);
  EXPECT_EQ(t.ctl<QLabel>("TForm19", "Panel1")->text(), "相关参数设置成功！！");
}

}  // namespace
}  // namespace velmo
