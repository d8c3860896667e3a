#include "sim/servo_motion.h"

#include <algorithm>
#include <cmath>

namespace velmo::sim {
namespace {
constexpr double kLoadTorque = 10;   // % while turning
constexpr double kAccelTorque = 40;  // % extra while ramping
}  // namespace

double ServoMotion::target(const Command& c) const {
  const double magnitude = std::clamp(c.torque_mode ? c.speed_limit : c.speed_set, 0.0, kMaxSpeed);
  return c.direction * magnitude;
}

bool ServoMotion::at_target(const Command& c) const { return speed_ == target(c); }

void ServoMotion::step(const Command& c, double seconds) {
  if (seconds <= 0) return;
  const double goal = target(c);
  const double before = speed_;
  const double max_change = ramp_ * seconds;
  speed_ = std::abs(goal - speed_) <= max_change ? goal : speed_ + (goal > speed_ ? max_change : -max_change);
  const bool ramping = speed_ != goal || before != speed_;

  if (c.torque_mode) {
    torque_ = c.direction != 0 ? c.torque_set : 0;
  } else {
    double t = speed_ != 0 ? kLoadTorque : 0;
    if (ramping) t += kAccelTorque;
    torque_ = std::min(t, std::max(0.0, c.torque_limit));
  }
  highest_speed_ = std::max(highest_speed_, std::abs(speed_));
  largest_torque_ = std::max(largest_torque_, torque_);

  // Average speed over the step, in counts.
  const double counts = (before + speed_) / 2.0 / 60.0 * resolution_ * seconds + fraction_;
  const double whole = std::floor(counts);
  fraction_ = counts - whole;
  position_ += static_cast<uint32_t>(static_cast<int64_t>(whole));
}

void ServoMotion::halt() {
  speed_ = 0;
  torque_ = 0;
}

}  // namespace velmo::sim
