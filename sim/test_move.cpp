#include "sim/test_move.h"

#include <cmath>

namespace velmo::sim {

void TestMove::start(double from, double distance, double duration) {
  from_ = pos_ = from;
  distance_ = distance;
  duration_ = duration;
  t_ = 0;
  vel_ = 0;
  // v * (T - T/4) covers the distance; the ramps take T/4 each.
  accel_ = std::abs(distance) / (0.75 * duration * 0.25 * duration);
  phase_ = duration > 0 && distance != 0 ? Phase::Profile : Phase::Idle;
  if (phase_ == Phase::Idle) pos_ = from + distance;
}

void TestMove::stop() {
  if (phase_ == Phase::Profile) phase_ = Phase::Braking;
}

void TestMove::advance(double dt) {
  if (phase_ == Phase::Idle) return;
  if (phase_ == Phase::Braking) {
    const double dv = accel_ * dt;
    if (std::abs(vel_) <= dv) {
      pos_ += vel_ * 0.5 * std::abs(vel_) / accel_;
      vel_ = 0;
      phase_ = Phase::Idle;
      return;
    }
    const double v = vel_ - std::copysign(dv, vel_);
    pos_ += 0.5 * (vel_ + v) * dt;
    vel_ = v;
    return;
  }
  t_ += dt;
  const double T = duration_, ta = 0.25 * T, vmax = accel_ * ta;
  double s;  // distance covered, unsigned
  if (t_ >= T) {
    pos_ = from_ + distance_;
    vel_ = 0;
    phase_ = Phase::Idle;
    return;
  }
  if (t_ < ta) {
    s = 0.5 * accel_ * t_ * t_;
    vel_ = accel_ * t_;
  } else if (t_ < T - ta) {
    s = 0.5 * accel_ * ta * ta + vmax * (t_ - ta);
    vel_ = vmax;
  } else {
    const double r = T - t_;
    s = std::abs(distance_) - 0.5 * accel_ * r * r;
    vel_ = accel_ * r;
  }
  const double sign = distance_ < 0 ? -1.0 : 1.0;
  vel_ *= sign;
  pos_ = from_ + sign * s;
}

}  // namespace velmo::sim
