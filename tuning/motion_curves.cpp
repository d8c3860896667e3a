#include "tuning/motion_curves.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace velmo::tuning {
namespace {

constexpr uint32_t kDefaultPulsesPerRev = 131072;
// The direction is judged this far into the move, or at the last sample of a
// shorter recording.
constexpr std::size_t kDirectionSample = 1000;
// Encoder dither stays within this; more is motion.
constexpr int32_t kMovedCounts = 2;

// Positions wrap at 32 bits: a difference taken modulo 2^32 and read as signed
// keeps its sign across the 2^31 crossing.
int32_t wrapped_difference(int32_t later, int32_t earlier) {
  return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

int32_t saturate(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::vector<int32_t> recorded_samples(std::span<const uint8_t> bytes, std::size_t count) {
  count = std::min(count, bytes.size() / 4);
  std::vector<int32_t> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* b = bytes.data() + 4 * i;
    out[i] = static_cast<int32_t>((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
  }
  return out;
}

MotionCurves derive_motion_curves(std::span<const int32_t> samples, uint32_t step, uint32_t pulses_per_rev) {
  MotionCurves c;
  const std::size_t n = samples.size();
  if (n < 3) return c;
  const uint32_t ppr = pulses_per_rev == 0 ? kDefaultPulsesPerRev : pulses_per_rev;
  const auto last = static_cast<uint32_t>(samples[n - 1]);
  c.last_revolutions = last / ppr;
  c.last_counts = last % ppr;

  // The drive's last sample is unreliable: it takes the third-last's value.
  std::vector<int32_t> abs(samples.begin(), samples.end());
  abs[n - 1] = abs[n - 3];

  // A move that had not begun by the direction sample (a slow line between
  // the recording's start and the move's) is judged by its farthest point.
  int32_t heading = wrapped_difference(abs[std::min(kDirectionSample, n - 1)], abs[0]);
  if (std::abs(heading) <= kMovedCounts) {
    for (std::size_t i = 1; i < n; ++i) {
      const int32_t d = wrapped_difference(abs[i], abs[0]);
      if (std::abs(static_cast<int64_t>(d)) > std::abs(static_cast<int64_t>(heading))) heading = d;
    }
  }
  const bool forward = heading > 0;
  c.pos_rel.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t d = wrapped_difference(abs[i], abs[0]);
    c.pos_rel[i] = forward ? d : wrapped_difference(0, d);
  }

  const auto moved = std::find_if(c.pos_rel.begin(), c.pos_rel.end(), [](int32_t p) { return p > 2; });
  if (moved != c.pos_rel.end()) c.start_index = static_cast<std::size_t>(moved - c.pos_rel.begin()) - 1;

  if (step >= 2) {
    const std::size_t m = step;
    const std::size_t points = (n - c.start_index) / m;
    const int64_t rpm_factor = 60 * kRecordingRateHz / (m - 1);
    const double rad_factor = 2 * std::numbers::pi * kRecordingRateHz / static_cast<double>(m - 1) / ppr;
    c.speed_rpm.resize(points);
    c.ang_speed.resize(points);
    for (std::size_t j = 0; j < points; ++j) {
      const std::size_t a = j * m + c.start_index;
      const int64_t delta = int64_t{c.pos_rel[a + m - 1]} - c.pos_rel[a];
      c.speed_rpm[j] = saturate(rpm_factor * delta / ppr);
      c.ang_speed[j] = rad_factor * static_cast<double>(delta);
    }
    // Neighbouring speed points lie m sample periods apart (each is the mean
    // over its own m - 1 periods), so their difference spans m periods. The
    // last point is left out: it may reach the padded end of the recording.
    const std::size_t accel_points = points >= 2 ? points - 2 : 0;
    const double per_second = static_cast<double>(kRecordingRateHz) / static_cast<double>(m);
    c.accel.resize(accel_points);
    double hi = 0, lo = 0;
    for (std::size_t j = 0; j < accel_points; ++j) {
      c.accel[j] = (c.ang_speed[j + 1] - c.ang_speed[j]) * per_second;
      hi = std::max(hi, c.accel[j]);
      lo = std::min(lo, c.accel[j]);
    }
    c.peak_accel = hi > -lo ? hi : -lo;
  }

  c.pos_diff.resize(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) c.pos_diff[i] = wrapped_difference(c.pos_rel[i + 1], c.pos_rel[i]);

  const int64_t threshold = int64_t{c.pos_rel[n - 1]} * 8 / 10;
  const auto past = std::find_if(c.pos_rel.begin(), c.pos_rel.end(), [&](int32_t p) { return p > threshold; });
  if (past != c.pos_rel.end()) c.positioning_start = static_cast<std::size_t>(past - c.pos_rel.begin());
  return c;
}

}  // namespace velmo::tuning
