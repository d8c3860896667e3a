// The gain formula's worked examples and its guarded inputs.
#include <gtest/gtest.h>

#include "tuning/gain_formula.h"

namespace velmo::tuning {
namespace {

TEST(GainFormula, WorkedExamples) {
  struct Case {
    uint32_t level;
    int load;
    uint32_t ratio;
    int32_t kp, kv, ti;
  };
  const Case cases[] = {
      {10, 0, 10, 88, 1400, 117},  // Ti 116.65, Kp 87.5
      {5, 0, 10, 50, 800, 127},    // the initial-gain button: Ti 126.98
      {30, 0, 10, 238, 3800, 45},  // s = 1
      {1, 0, 10, 20, 320, 135},    // s = √30: Ti 134.54
      {10, 2, 10, 81, 2900, 117},  // high rigidity load: 2900 / 36 = 80.6
      {1, 0, 1000, 1, 14, -1},     // k = 100^0.68: Kp rounds to 0 and becomes 1
  };
  for (const Case& c : cases) {
    const GainFormulaResult r = gain_formula(c.level, c.load, c.ratio);
    ASSERT_TRUE(r.ok) << c.level;
    EXPECT_TRUE(r.note.empty()) << c.level;
    EXPECT_EQ(r.gains.pos_loop_gain, c.kp) << c.level;
    EXPECT_EQ(r.gains.speed_loop_gain, c.kv) << c.level;
    if (c.ti >= 0) {
      EXPECT_EQ(r.gains.integral_time, c.ti) << c.level;
    }
  }
  EXPECT_EQ(tenths_text(117), "11.7");
  EXPECT_EQ(tenths_text(1400), "140.0");
}

TEST(GainFormula, InputsOutOfRangeAreClampedOrRefusedWithAReason) {
  // A ratio of 0 would make the gains infinite, a level above 31 NaN.
  const uint32_t cases[][4] = {{10, 0, 10, 10}, {40, 10, 30, 10}, {0, 10, 1, 10}, {10, 5000, 10, 1000}, {99, 0, 30, 10}};
  for (const auto& c : cases) {
    const GainFormulaResult r = gain_formula(c[0], 0, c[1]);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.note.empty()) << c[0] << " " << c[1];
    EXPECT_EQ(r.gains.speed_loop_gain, gain_formula(c[2], 0, c[3]).gains.speed_loop_gain);
    EXPECT_EQ(r.gains.integral_time, gain_formula(c[2], 0, c[3]).gains.integral_time);
  }
  for (int load : {-1, 3, 255}) EXPECT_FALSE(gain_formula(10, load, 10).ok) << load;
  EXPECT_FALSE(gain_formula(10, 3, 10).note.empty());
}

}  // namespace
}  // namespace velmo::tuning
