// Behaviour of the simulated drives that the windows rely on, seen over the
// wire with libmodbus (and, for the motion model, stepped without a clock).
#include <gtest/gtest.h>

#include "support/modbus_master.h"
#include "sim/inverter_station.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/speed_controller_station.h"
#include "support/wait.h"

using namespace velmo::sim::servo_regs;
using velmo::sim::ServoStation;
using velmo::sim::SimLine;
using velmo::testing::ModbusMaster;
using velmo::testing::wait_for;

namespace {

class ServoLine : public ::testing::Test {
 protected:
  void SetUp() override {
    servo1 = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(1, 6101, 101)));
    servo2 = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(2, 6205, 102)));
    ASSERT_TRUE(servo1 && servo2 && m.ok());
  }
  void take_over(uint8_t a, uint16_t mode) {
    ASSERT_TRUE(m.write(a, kRunMode, kRunModeBus));
    ASSERT_TRUE(m.write(a, kCommand, kCmdStop));
    ASSERT_TRUE(m.write(a, kControlMode, mode));
  }
  int16_t speed(uint8_t a) { return static_cast<int16_t>(m.read(a, kSpeed).value_or(0x7FFF)); }
  uint32_t position(uint8_t a) {
    const auto w = m.read(a, kPosition, 2);
    return w ? ((*w)[1] << 16) | (*w)[0] : 0;
  }
  SimLine line;
  ModbusMaster m{line.port_path()};
  ServoStation* servo1 = nullptr;
  ServoStation* servo2 = nullptr;
};

}  // namespace

// Refusals, and a fault that stops the motor until it is reset.
TEST_F(ServoLine, RunIsRefusedOffTheBusOrFaultedAndAFaultStopsTheMotor) {
  EXPECT_FALSE(m.write(1, kCommand, kCmdForward));
  EXPECT_EQ(m.error(), EMBXSFAIL);
  EXPECT_TRUE(m.write(1, kCommand, kCmdStop));  // a stop is always taken
  take_over(1, kModeSpeed);
  EXPECT_FALSE(m.write(1, kCommand, 5));  // no such command
  EXPECT_EQ(m.error(), EMBXSFAIL);
  EXPECT_FALSE(m.write(1, kStatusWord, 1));  // status is read-only
  ASSERT_TRUE(m.write(1, kCommand, kCmdForward));
  ASSERT_TRUE(wait_for([&] { return speed(1) == 1000; }));
  velmo::sim::servo_set_fault(*servo1, 3);
  EXPECT_EQ(m.read(1, kFaultCode), 3);
  EXPECT_EQ(speed(1), 0);
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitFault);
  EXPECT_FALSE(m.write(1, kCommand, kCmdForward));
  ASSERT_TRUE(m.write(1, kCommand, kCmdFaultReset));
  EXPECT_EQ(m.read(1, kFaultCode), 0);
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitStopped);
  // A warning does not stop the motor.
  ASSERT_TRUE(m.write(1, kCommand, kCmdForward));
  velmo::sim::servo_set_fault(*servo1, 35);
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitForward);
}

TEST_F(ServoLine, SpeedRampsWithItsSignWrapsThePositionAndStops) {
  take_over(1, kModeSpeed);
  servo1->set_position(0xFFFFFFFFu - 20000);
  ASSERT_TRUE(m.write(1, kSpeedSet, 1200));
  ASSERT_TRUE(m.write(1, kCommand, kCmdForward));
  EXPECT_TRUE(wait_for([&] { return speed(1) == 1200; }));
  EXPECT_TRUE(wait_for([&] { return position(1) < 0x80000000u; }));  // past 2^32, back to small counts
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitForward);
  EXPECT_GT(m.read(1, kTorque).value(), 0);
  ASSERT_TRUE(m.write(1, kCommand, kCmdStop));
  EXPECT_TRUE(wait_for([&] { return speed(1) == 0; }));
  ASSERT_TRUE(m.write(1, kCommand, kCmdReverse));
  EXPECT_TRUE(wait_for([&] { return speed(1) == -1200; }));
  EXPECT_EQ(m.read(1, kSpeed), 65536 - 1200);  // two's complement on the wire
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitReverse);
  EXPECT_EQ(m.read(1, kHighestSpeed), 1200);
  // Leaving bus control stops the motor.
  ASSERT_TRUE(m.write(1, kRunMode, 1));
  EXPECT_TRUE(wait_for([&] { return speed(1) == 0; }));
  EXPECT_EQ(m.read(1, kStatusWord).value() & 0x0F, kBitStopped);
}

TEST_F(ServoLine, TorqueModeRunsToItsSpeedLimitAndShowsLocks) {
  take_over(2, kModeTorque);
  ASSERT_TRUE(m.write(2, kTorqueShaftLock, 1));
  EXPECT_EQ(m.read(2, kStatusWord).value() >> 8, 1);
  ASSERT_TRUE(m.write(2, kTorqueSet, 40));
  ASSERT_TRUE(m.write(2, kSpeedLimit, 700));
  ASSERT_TRUE(m.write(2, kCommand, kCmdReverse));
  EXPECT_TRUE(wait_for([&] { return speed(2) == -700; }));
  EXPECT_EQ(m.read(2, kTorque), 40);
  EXPECT_TRUE(m.read(2, kStatusWord).value() & kBitSpeedReached);
  EXPECT_EQ(m.read(2, kStatusWord).value() >> 8, 0);
}

TEST_F(ServoLine, HomeAndLimitsAreCapturedAndClearedInTheLayoutsRegisters) {
  servo1->set_position(0x00010010);
  ASSERT_TRUE(m.write(1, 0x0019, kPointSet));  // layout 1 home
  servo1->set_position(0x00020000);
  ASSERT_TRUE(m.write(1, 0x001A, kPointSet));  // forward limit
  servo1->set_position(0xFFFF0000);
  ASSERT_TRUE(m.write(1, 0x001B, kPointSet));  // reverse limit
  const auto w = m.read(1, kPosition, 8).value();
  EXPECT_EQ(w, (std::vector<uint16_t>{0x0000, 0xFFFF, 0x0010, 0x0001, 0x0000, 0x0002, 0x0000, 0xFFFF}));
  ASSERT_TRUE(m.write(1, 0x0019, std::vector<uint16_t>{1, 1, 1}));
  EXPECT_EQ(m.read(1, kHomePosition, 6).value(), std::vector<uint16_t>(6, 0));
  EXPECT_FALSE(m.write(1, 0x0019, 7));
  // Layout 2 keeps them one register later.
  servo2->set_position(77);
  ASSERT_TRUE(m.write(2, 0x001A, kPointSet));
  EXPECT_EQ(m.read(2, kHomePosition), 77);
}

TEST_F(ServoLine, CrossingALimitFaultsTheDrive) {
  take_over(1, kModeSpeed);
  servo1->set_position(0xFFFFFF00u);
  ASSERT_TRUE(m.write(1, 0x001A, kPointSet));  // forward limit at 0xFFFFFF00
  servo1->set_position(0xFFFFFF00u - 4000);
  ASSERT_TRUE(m.write(1, kSpeedSet, 50));
  ASSERT_TRUE(m.write(1, kCommand, kCmdForward));
  EXPECT_TRUE(wait_for([&] { return m.read(1, kFaultCode) == kFaultForwardLimit; }));
  EXPECT_EQ(speed(1), 0);
  EXPECT_FALSE(m.write(1, kCommand, kCmdForward));
  ASSERT_TRUE(m.write(1, kCommand, kCmdFaultReset));
  ASSERT_TRUE(m.write(1, kCommand, kCmdReverse));  // away from the limit is allowed
  EXPECT_TRUE(wait_for([&] { return speed(1) < 0; }));
}

TEST_F(ServoLine, FailedSelfLearningNeverCompletesAndWarns) {
  velmo::sim::servo_set_self_learning(*servo2, 1, true);
  ASSERT_TRUE(m.write(2, 0x0036, 3));
  for (int k = 0; k < 5; ++k) EXPECT_EQ(m.read(2, 0x0036), 3);
  EXPECT_EQ(m.read(2, kFaultCode), kWarningSelfLearning);
  // Writing 1 is not a start.
  ASSERT_TRUE(m.write(2, 0x0036, 1));
  EXPECT_EQ(servo2->self_learning_starts(), 1);
}

TEST_F(ServoLine, FactoryResetRestoresDefaultsButKeepsTheStation) {
  EXPECT_TRUE(m.read(1, 0, 125));  // whole parameter groups in one request
  EXPECT_TRUE(m.read(1, 0x200, 125));
  ASSERT_TRUE(m.write(1, 103, 3333));
  ASSERT_TRUE(m.write(1, 0x0019, kPointSet));
  ASSERT_TRUE(m.write(1, kFactoryReset, 2));
  EXPECT_EQ(m.read(1, 103), 1000);
  EXPECT_EQ(m.read(1, 0x0019), 1);
  EXPECT_EQ(m.read(1, kFactoryReset), 1);
  EXPECT_EQ(m.read(1, kStationNumber), 1);
  EXPECT_EQ(velmo::sim::factory_reset_count(*servo1), 1);
  EXPECT_EQ(velmo::sim::factory_reset_count(*servo2), 0);
  ASSERT_TRUE(m.write(1, kFactoryReset, 1));  // "do not restore"
  EXPECT_EQ(velmo::sim::factory_reset_count(*servo1), 1);
}

TEST(ServoMotionModel, RampsPositionAndPeaksWithoutAClock) {
  ServoStation servo(1, 6001, 101);  // 4096 counts per revolution
  servo.set_reg(kRunMode, kRunModeBus);
  servo.set_ramp(1000);
  servo.set_reg(kSpeedSet, 600);
  ASSERT_TRUE(servo.on_write(kCommand, kCmdForward));
  servo.advance(0.3);
  EXPECT_EQ(static_cast<int16_t>(servo.reg(kSpeed)), 300);
  servo.advance(0.3);
  EXPECT_EQ(static_cast<int16_t>(servo.reg(kSpeed)), 600);
  servo.set_position(0);
  servo.advance(1.0);  // 10 revolutions per second
  EXPECT_EQ(servo.position(), 40960u);
  EXPECT_EQ(servo.reg(kHighestSpeed), 600);
  ASSERT_TRUE(servo.on_write(kCommand, kCmdReverse));
  servo.advance(5.0);
  EXPECT_EQ(static_cast<int16_t>(servo.reg(kSpeed)), -600);
  EXPECT_EQ(servo.reg(kHighestSpeed), 600);
}

TEST(InverterModel, RunStateFrequencyAndFault) {
  SimLine line;
  auto* inv = dynamic_cast<velmo::sim::InverterStation*>(&line.add(velmo::sim::make_inverter(3, 2100)));
  line.add(velmo::sim::make_inverter(5, 4015, true));
  ModbusMaster m(line.port_path());
  using I = velmo::sim::InverterStation;
  EXPECT_EQ(m.read(3, 4, 6).value(), (std::vector<uint16_t>{1, 2, 1, 1, 1, 2}));  // 4, 5, ..., 9: not 4, 4, 8, 8
  EXPECT_FALSE(m.read(5, 0x00AC));
  EXPECT_EQ(m.error(), EMBXILADD);
  ASSERT_TRUE(m.write(3, I::kFrequency, 123));
  // Off the bus, a run command is taken but does not run the motor.
  ASSERT_TRUE(m.write(3, I::kCommand, 2));
  EXPECT_EQ(m.read(3, I::kRunState), I::kStateStopped);
  for (auto [reg, value] : {std::pair{4, 4}, {5, 4}, {8, 8}, {9, 8}}) ASSERT_TRUE(m.write(3, reg, value));
  ASSERT_TRUE(m.write(3, I::kCommand, 2));
  EXPECT_TRUE(wait_for([&] { return m.read(3, I::kOutputFrequency) == 123; }));
  EXPECT_EQ(m.read(3, I::kRunState), I::kStateReverse);
  // Type 2 has four status words: 0x2004 on is refused.
  EXPECT_TRUE(m.read(3, 0x2000, 4));
  EXPECT_FALSE(m.read(3, 0x2000, 6));
  EXPECT_EQ(m.error(), EMBXILADD);
  ASSERT_TRUE(m.write(3, I::kCommand, 3));
  EXPECT_EQ(m.read(3, I::kRunState), I::kStateStopped);
  inv->set_fault(14);
  EXPECT_EQ(m.read(3, I::kRunState), I::kStateFault);
  EXPECT_FALSE(m.write(3, I::kCommand, 1));
  ASSERT_TRUE(m.write(3, I::kCommand, 8));
  EXPECT_EQ(m.read(3, I::kFaultCode), 0);
}

// Per model type: which parameter registers exist, range checks, the
// read-only model code, factory reset and the line settings the drive hears.
TEST(InverterModel, RegistersByModelTypeRangesAndResets) {
  SimLine line;
  line.add(velmo::sim::make_inverter(1, 4500));  // type 0
  line.add(velmo::sim::make_inverter(2, 2915));  // type 4
  auto& type3 = dynamic_cast<velmo::sim::InverterStation&>(line.add(velmo::sim::make_inverter(3, 2315)));
  ModbusMaster m(line.port_path());
  EXPECT_EQ(type3.model_type(), 3);
  EXPECT_TRUE(m.read(1, 1, 9));
  EXPECT_FALSE(m.read(1, 0, 10));  // type 0 has no F0-00
  EXPECT_EQ(m.error(), EMBXILADD);
  EXPECT_TRUE(m.read(2, 0, 19));   // type 4 holds F0-11 and F0-12 too
  EXPECT_FALSE(m.read(3, 40, 3));  // type 3: F2-01 is missing
  EXPECT_TRUE(m.read(3, 44, 2));
  EXPECT_FALSE(m.read(2, 172));    // type 4 has no menu version word
  EXPECT_EQ(m.read(1, 180), 405);
  EXPECT_FALSE(m.write(1, 180, 1));
  EXPECT_FALSE(m.write(1, 13, 2500));  // above 200.0 Hz
  EXPECT_EQ(m.error(), EMBXILVAL);
  EXPECT_FALSE(m.write(1, 13, std::vector<uint16_t>{1000, 5000}));  // F0-14 out of range: nothing stored
  EXPECT_EQ(m.read(1, 13), 500);
  ASSERT_TRUE(m.write(1, 13, 1000));
  ASSERT_TRUE(m.write(1, 170, 2));
  EXPECT_EQ(m.read(1, 13).value(), 500);
  EXPECT_EQ(m.read(1, 170).value(), 1);
  EXPECT_EQ(m.read(1, 160).value(), 1);
  type3.set_follows_line_settings(true);
  ASSERT_TRUE(m.write(3, 161, 2));  // answered at the old speed, then deaf to the line
  m.set_timeout_ms(100);
  EXPECT_FALSE(m.read(3, 161));
}

TEST(SpeedControllerModel, RegistersCommandsAndFactoryResetToStation1) {
  SimLine line;
  line.add(velmo::sim::make_speed_controller(4, 1015, 300, 258));
  ModbusMaster m(line.port_path());
  ASSERT_TRUE(m.ok());
  using S = velmo::sim::SpeedControllerStation;
  EXPECT_EQ(m.read(4, 1, 2).value(), (std::vector<uint16_t>{300, 258}));
  EXPECT_TRUE(m.read(4, 1, 8));
  EXPECT_TRUE(m.read(4, 20, 5));
  EXPECT_TRUE(m.read(4, 171, 2));
  ASSERT_TRUE(m.write(4, 2, 2));
  ASSERT_TRUE(m.write(4, S::kCommand, 1));
  EXPECT_EQ(m.read(4, S::kRunState), 1);
  ASSERT_TRUE(m.write(4, S::kSpeedSet, 1600));
  ASSERT_TRUE(m.write(4, S::kCommand, 0));
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  ASSERT_TRUE(m.write(4, S::kFactoryResetReg, 2));  // answered from 4, then at 1
  EXPECT_EQ(m.read(1, 20), 1);
  EXPECT_EQ(m.read(1, 2), 258);
  EXPECT_EQ(velmo::sim::factory_reset_count(*line.station(1)), 1);
}

// Values outside a register's range answer exception 03 and change nothing;
// a fault outlives a stop until a fault reset; with a lag the run state
// follows a command only after that many more reads.
TEST(SpeedControllerModel, RangesFaultsAndTheRunStateLag) {
  SimLine line;
  using S = velmo::sim::SpeedControllerStation;
  auto* sc = dynamic_cast<S*>(&line.add(velmo::sim::make_speed_controller(4, 1015, 1, 2)));
  ModbusMaster m(line.port_path());
  ASSERT_TRUE(m.ok());
  const std::pair<uint16_t, uint16_t> outside[] = {
      {1, 0}, {1, 6}, {2, 3}, {3, 49}, {3, 101}, {4, 0}, {4, 101}, {5, 4}, {7, 21}, {8, 0}, {8, 6}, {20, 0},
      {20, 248}, {21, 6}, {22, 7}, {23, 3}, {24, 101}, {30, 3}, {S::kSpeedSet, 1601}, {S::kTorqueSet, 101}, {S::kBrake, 2},
  };
  for (const auto& [reg, value] : outside) {
    SCOPED_TRACE(reg);
    const uint16_t before = sc->reg(reg);
    EXPECT_FALSE(m.write(4, reg, value));
    EXPECT_EQ(m.error(), EMBXILVAL);
    EXPECT_EQ(sc->reg(reg), before);
  }
  EXPECT_FALSE(m.write(4, 1, std::vector<uint16_t>{1, 2, 80, 0, 1, 10, 0, 3}));  // F-04 = 0 in a block
  EXPECT_EQ(m.error(), EMBXILVAL);
  EXPECT_TRUE(m.write(4, 3, 100));
  EXPECT_TRUE(m.write(4, S::kSpeedSet, 1600));

  sc->set_fault(true);
  EXPECT_FALSE(m.write(4, S::kCommand, 1));
  ASSERT_TRUE(m.write(4, S::kCommand, 0));
  EXPECT_EQ(m.read(4, S::kRunState), S::kStateFault);
  ASSERT_TRUE(m.write(4, S::kCommand, 8));
  EXPECT_EQ(m.read(4, S::kRunState), 0);

  sc->set_state_lag(2);
  ASSERT_TRUE(m.write(4, S::kCommand, 2));
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  EXPECT_EQ(m.read(4, S::kRunState), 2);
  ASSERT_TRUE(m.write(4, S::kCommand, 0));
  EXPECT_EQ(m.read(4, S::kRunState), 2);
  EXPECT_EQ(m.read(4, S::kRunState), 2);
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  // A fault stops at once and a fault reset clears at once.
  ASSERT_TRUE(m.write(4, S::kCommand, 1));
  sc->set_fault(true);
  EXPECT_EQ(m.read(4, S::kRunState), S::kStateFault);
  ASSERT_TRUE(m.write(4, S::kCommand, 8));
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  EXPECT_EQ(m.read(4, S::kRunState), 0);
  EXPECT_EQ(m.read(4, S::kRunState), 0);
}
