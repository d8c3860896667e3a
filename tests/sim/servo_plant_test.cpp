// The simulated servo that moves for gain tuning, checked over the wire with
// libmodbus (an independent master) and stepped without a clock.
#include <gtest/gtest.h>

#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "support/modbus_master.h"

using namespace velmo::sim::servo_regs;
using velmo::sim::ServoStation;
using velmo::sim::SimLine;
using velmo::testing::ModbusMaster;

namespace {

TEST(ServoMotorCode, ReadFromRegister181AndKeptOverAFactoryReset) {
  SimLine line;
  auto* s4096 = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(1, 8005, 102)));
  auto* s131k = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(2, 6101, 101)));
  ModbusMaster m{line.port_path()};
  ASSERT_TRUE(s4096 && s131k && m.ok());
  EXPECT_EQ(m.read(1, kMotorModel), 4005);
  EXPECT_EQ(m.read(2, kMotorModel), 6002);
  s131k->set_motor_code(13043);
  ASSERT_TRUE(m.write(2, kFactoryReset, 2));
  EXPECT_EQ(m.read(2, kMotorModel), 13043);
}

}  // namespace
