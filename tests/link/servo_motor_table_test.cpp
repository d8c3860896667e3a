#include <gtest/gtest.h>

#include <string>

#include "link/servo_motor_table.h"

namespace velmo {
namespace {

TEST(ServoMotorTable, CodesSelectResolutionStepAndRow) {
  struct Case {
    uint16_t code;
    uint32_t resolution, scale;
    int step;
    size_t row;
    bool hold;
  } const cases[] = {
      {4005, 4096, 32, 21, 0, false}, {6002, 131072, 1, 16, 1, true},  {6005, 131072, 1, 16, 2, false},
      {8001, 131072, 1, 16, 3, false}, {8003, 131072, 1, 16, 4, false}, {10008, 131072, 1, 16, 5, true},
      {10010, 131072, 1, 16, 6, true}, {10011, 131072, 1, 16, 7, false}, {13039, 131072, 1, 16, 8, false},
      {13042, 131072, 1, 16, 9, true}, {13043, 131072, 1, 16, 10, false}, {13050, 131072, 1, 16, 11, true},
      {18032, 131072, 1, 16, 12, true}, {101, 131072, 1, 16, 13, false},  // an unknown class
  };
  for (const Case& c : cases) {
    const servo_motors::Identity id = servo_motors::identify(c.code);
    EXPECT_EQ(id.resolution, c.resolution) << c.code;
    EXPECT_EQ(id.resolution_scale, c.scale) << c.code;
    EXPECT_EQ(id.curve_step, c.step) << c.code;
    EXPECT_EQ(id.row, c.row) << c.code;
    EXPECT_EQ(id.hold_servo_on, c.hold) << c.code;
  }
}

TEST(ServoMotorTable, RowsKeepTheirColumns) {
  for (size_t i = 0; i < servo_motors::kRowCount; ++i) {
    const std::string_view text = servo_motors::kRows[i];
    ASSERT_EQ(text.size(), 24u) << i;
    const servo_motors::Row r = servo_motors::row(i);
    EXPECT_GT(r.rotor_inertia_e6(), 0) << i;
    EXPECT_TRUE(r.divisor() == 100 || r.divisor() == 10) << i;
    // The text and the fraction state the same torque.
    EXPECT_NEAR(std::stod(std::string(r.rated_torque)), r.rated_torque_nm(), 1e-9) << i;
    EXPECT_EQ(text.substr(5, 2), "  ");
  }
  EXPECT_EQ(servo_motors::row(1).torque_numerator, "64");
  EXPECT_EQ(servo_motors::row(99).rotor_inertia, servo_motors::row(13).rotor_inertia);
}

}  // namespace
}  // namespace velmo
