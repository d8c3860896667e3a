// Position response judgement and load inertia arithmetic on hand-made moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tuning/inertia_estimate.h"
#include "tuning/position_response.h"

namespace velmo::tuning {
namespace {

// Still for 10 samples, then 100 counts a sample up to `top`; from sample 2000
// either a slide down by one count a sample, or one step, to 100000.
std::vector<int32_t> response_move(int32_t top, bool slide, std::size_t n = 4096) {
  std::vector<int32_t> p(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto k = static_cast<int32_t>(i);
    p[i] = i < 2000 ? std::clamp(100 * (k - 9), 0, top) : slide ? std::max(100000, top - (k - 1999)) : 100000;
  }
  return p;
}

TEST(PositionResponse, Evaluation) {
  EXPECT_EQ(capped_test_pulses(400000, 500, 400, 2000), 200000u);  // 800 ms capped
  EXPECT_EQ(capped_test_pulses(400000, 0, 400, 2000), 2000u);      // never 0, never divides by 0
  EXPECT_EQ(stroke_counts(200000, 1, 0, 32), 6250);

  ResponseLimits lim;
  lim.target_counts = 100000;  // reached (above 99800) at sample 1008, started at 10
  lim.move_time_ms = 150;      // (1008 - 10) / 5 - 150 = 49 ms
  struct Case {
    int32_t top;
    bool slide;
    int32_t torque;
    int64_t overshoot_limit;
    int32_t target_ms;
    bool overshoot_flag, torque_flag, met, peaks;
  };
  const Case cases[] = {
      {100030, true, 240, 20, 80, true, false, true, true},
      {100030, false, 241, 30, 49, false, true, true, false},  // equal limits: not flagged, met
      {100000, false, 100, 20, 48, false, false, false, false},
  };
  for (const Case& c : cases) {
    lim.overshoot_limit = c.overshoot_limit;
    lim.response_target_ms = c.target_ms;
    const ResponseEvaluation e = evaluate_position_response(response_move(c.top, c.slide), c.torque, lim);
    ASSERT_TRUE(e.valid) << e.reason;
    EXPECT_EQ(e.overshoot, c.top - 100000);
    EXPECT_EQ(e.response_time, 49);
    EXPECT_EQ(e.overshoot_flag, c.overshoot_flag) << c.top;
    EXPECT_EQ(e.torque_flag, c.torque_flag) << c.torque;
    EXPECT_EQ(e.response_met, c.met) << c.target_ms;
    EXPECT_EQ(e.peaks_flag, c.peaks) << c.slide;
  }
  lim.target_counts = 200000;  // never reached: measured to the second-last sample
  EXPECT_EQ(evaluate_position_response(response_move(100000, false), 0, lim).response_time, (4094 - 10) / 5 - 150);
  lim.target_counts = 1000;  // fewer than 1040 samples: no peak scan
  EXPECT_FALSE(evaluate_position_response(response_move(100030, true, 1039), 0, lim).peaks_flag);
}

TEST(PositionResponse, NoResultWithoutMoveTorqueOrSamples) {
  ResponseLimits lim;
  lim.target_counts = 100000;
  EXPECT_FALSE(evaluate_position_response(response_move(100000, false), std::nullopt, lim).valid);
  EXPECT_FALSE(evaluate_position_response(std::vector<int32_t>(4096, 3), 0, lim).valid);
  EXPECT_FALSE(evaluate_position_response(std::vector<int32_t>(1, 500), 0, lim).valid);
  lim.target_counts = 0;
  EXPECT_FALSE(evaluate_position_response(response_move(100000, false), 0, lim).reason.empty());
}

TEST(InertiaEstimate, RaisingAndTorqueOverAcceleration) {
  EXPECT_EQ(frequency_step_base(1, 1), 300u);
  EXPECT_EQ(frequency_step_base(100, 1), 10u);  // 3 becomes 0 in tens, raised to 10
  EXPECT_EQ(raise_threshold({100, 102, 104, 107, 0, 0, 0, 0}), 153);
  EXPECT_EQ(next_frequency_step(153, 100, 300), 1590u);
  EXPECT_EQ(next_frequency_step(153, 152, 5), 10u);

  // 40 % more of 0.64 N·m for 1000 rad/s² more: 256 × 10^-6 kg·m², ten rotors.
  InertiaEstimate e = estimate_inertia({1000, 1000, 1000, 1000, 2000, 2000, 2000, 2000},
                                       {20, 20, 20, 20, 60, 60, 60, 60}, {64, 100}, 25.6);
  ASSERT_TRUE(e.ok) << e.reason;
  EXPECT_DOUBLE_EQ(e.system_inertia, 256);
  EXPECT_EQ(e.inertia_ratio, 100u);
  // A product past 32 bits; the ratio clamped to 100.0, and to 1.0.
  const std::array<double, 8> mega{0, 0, 0, 0, 1e6, 1e6, 1e6, 1e6};
  e = estimate_inertia(mega, {0, 0, 0, 0, 1000000, 1000000, 1000000, 1000000}, {999, 100}, 99);
  EXPECT_DOUBLE_EQ(e.system_inertia, 99900);
  EXPECT_EQ(e.inertia_ratio, 1000u);
  EXPECT_EQ(estimate_inertia(mega, {0, 0, 0, 0, 1, 1, 1, 1}, {64, 100}, 25.6).inertia_ratio, 10u);

  const std::array<double, 8> flat{1, 1, 1, 1, 1, 1, 1, 1}, rising{1, 1, 1, 1, 2, 2, 2, 2};
  const std::array<int32_t, 8> more{1, 1, 1, 1, 2, 2, 2, 2}, less{2, 2, 2, 2, 1, 1, 1, 1};
  EXPECT_FALSE(estimate_inertia(flat, more, {64, 100}, 25.6).ok);
  EXPECT_FALSE(estimate_inertia(rising, less, {64, 100}, 25.6).ok);
  EXPECT_FALSE(estimate_inertia(rising, more, {64, 0}, 25.6).ok);
  EXPECT_FALSE(estimate_inertia(rising, more, {64, 100}, 0).ok);
  EXPECT_FALSE(estimate_inertia({NAN, 1, 1, 1, 2, 2, 2, 2}, more, {64, 100}, 25.6).reason.empty());
}

}  // namespace
}  // namespace velmo::tuning
