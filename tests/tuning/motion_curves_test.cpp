// Curves of a recorded move: hand-computed speeds and accelerations, wrap and direction.
#include <gtest/gtest.h>

#include <numbers>
#include <vector>

#include "tuning/motion_curves.h"

namespace velmo::tuning {
namespace {

std::vector<int32_t> recording(std::size_t n, int64_t start, int64_t sign, auto position_at) {
  std::vector<int32_t> s(n);
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<int32_t>(static_cast<uint32_t>(start + sign * position_at(static_cast<int64_t>(i))));
  return s;
}

TEST(MotionCurves, SpeedAndTrueAcceleration) {
  // 131072 counts over the 15 intervals of a 16-sample step is 20000 rpm.
  MotionCurves c = derive_motion_curves(recording(1601, 5, 1, [](int64_t i) { return i * 131072 / 15; }), 16, 131072);
  ASSERT_EQ(c.speed_rpm.size(), 100u);
  EXPECT_EQ(c.speed_rpm, std::vector<int32_t>(100, 20000));
  EXPECT_NEAR(c.ang_speed[50], 20000 * 2 * std::numbers::pi / 60, 1e-9);
  EXPECT_EQ(c.accel.size(), 98u);
  EXPECT_NEAR(c.peak_accel, 0, 1e-6);
  // x = 4 i² counts: 8 counts per sample², i.e. 8 × 5000² × 2π / ppr rad/s².
  for (uint32_t m : {16u, 21u}) {
    for (uint32_t ppr : {131072u, 4096u}) {
      c = derive_motion_curves(recording(2050, 1000, 1, [](int64_t i) { return 4 * i * i; }), m, ppr);
      const double expected = 8.0 * 5000 * 5000 * 2 * std::numbers::pi / ppr;
      for (double a : c.accel) ASSERT_NEAR(a, expected, expected * 1e-9) << m << " " << ppr;
      EXPECT_NEAR(c.peak_accel, expected, expected * 1e-9);
    }
  }
}

TEST(MotionCurves, DirectionAndTheTwoToThe31Crossing) {
  const auto ramp = [](int64_t i) { return i < 3000 ? 700 * i : 700 * 3000; };
  const MotionCurves up = derive_motion_curves(recording(4096, 0, 1, ramp), 16, 131072);
  // Crossing 2^31 upwards, 0 downwards, 2^32 upwards, -2^31 downwards.
  for (int64_t start : {int64_t{0x7FFF0000}, int64_t{100}, int64_t{0xFFFFFF00}, int64_t{-0x7FFF0000}}) {
    for (int64_t sign : {1, -1}) {
      const MotionCurves c = derive_motion_curves(recording(4096, start, sign, ramp), 16, 131072);
      EXPECT_EQ(c.pos_rel, up.pos_rel) << start << " " << sign;
      EXPECT_EQ(c.speed_rpm, up.speed_rpm) << start << " " << sign;
    }
  }
  // A move that begins after the direction sample still reads forward.
  const auto late = [](int64_t i) { return i < 1500 ? 0 : 700 * std::min<int64_t>(i - 1500, 2000); };
  for (int64_t sign : {1, -1}) {
    const MotionCurves c = derive_motion_curves(recording(4096, 100, sign, late), 16, 131072);
    EXPECT_EQ(c.pos_rel[4000], 700 * 2000) << sign;
  }
  EXPECT_EQ(up.pos_rel[2999], 700 * 2999);
  EXPECT_EQ(up.pos_diff.size(), 4095u);
  EXPECT_EQ(up.positioning_start, 2401u);  // first past 80 % of 2100000
  // A short recording is judged at its last sample.
  EXPECT_EQ(derive_motion_curves(recording(500, 50, -1, ramp), 16, 131072).pos_rel[400], 700 * 400);
}

TEST(MotionCurves, DecodingFinalPositionAndDegenerateRecordings) {
  const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x01, 0x00, 0x12};
  EXPECT_EQ(recorded_samples(bytes, 3), (std::vector<int32_t>{-2, 256}));

  std::vector<int32_t> s(20, 0);
  s[19] = -2;
  const MotionCurves c = derive_motion_curves(s, 16, 4096);
  EXPECT_EQ(c.last_revolutions, 0xFFFFFFFEu / 4096);
  EXPECT_EQ(c.last_counts, 4094u);
  EXPECT_EQ(c.pos_rel[19], 0);  // the last sample takes the third-last's value
  EXPECT_EQ(c.speed_rpm.size(), 1u);
  EXPECT_TRUE(c.accel.empty());  // fewer than two speed points
  EXPECT_TRUE(derive_motion_curves(std::vector<int32_t>{1, 2}, 16, 4096).pos_rel.empty());
  EXPECT_TRUE(derive_motion_curves(s, 1, 4096).speed_rpm.empty());
  EXPECT_EQ(derive_motion_curves(s, 16, 0).last_counts, 0xFFFFFFFEu % 131072);
}

}  // namespace
}  // namespace velmo::tuning
