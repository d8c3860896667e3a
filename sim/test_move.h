#pragma once
#include <cstdint>

namespace velmo::sim {

// The drive's test move: a trapezoidal command of a given length that lasts
// exactly length / rate, a quarter of it accelerating and a quarter braking.
class TestMove {
 public:
  // distance in command counts (signed), duration in seconds.
  void start(double from, double distance, double duration);
  // Brakes at the move's own deceleration from where the command stands.
  void stop();
  void advance(double dt);
  bool active() const { return phase_ != Phase::Idle; }
  double position() const { return pos_; }
  void hold(double position) { pos_ = position; phase_ = Phase::Idle; }

 private:
  enum class Phase { Idle, Profile, Braking };
  Phase phase_ = Phase::Idle;
  double from_ = 0, distance_ = 0, duration_ = 0, t_ = 0;
  double pos_ = 0, vel_ = 0, accel_ = 0;
};

}  // namespace velmo::sim
