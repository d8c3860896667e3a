#pragma once
#include <cstdint>

namespace velmo::sim {

// The simulated servo motor: speed ramps towards the commanded value, torque
// follows the load and the ramp, the encoder position integrates the speed
// and wraps at 32 bits.
class ServoMotion {
 public:
  struct Command {
    int direction = 0;        // -1 reverse, 0 stop, 1 forward
    bool torque_mode = false;
    double speed_set = 0;     // rpm, speed mode
    double torque_limit = 300;
    double torque_set = 0;    // %, torque mode
    double speed_limit = 0;   // rpm, torque mode
  };

  explicit ServoMotion(uint32_t resolution) : resolution_(resolution) {}

  void step(const Command& command, double seconds);
  void halt();  // coasts to zero at once (fault)

  double speed() const { return speed_; }
  double torque() const { return torque_; }
  double highest_speed() const { return highest_speed_; }
  double largest_torque() const { return largest_torque_; }
  uint32_t position() const { return position_; }
  void set_position(uint32_t counts) { position_ = counts; fraction_ = 0; }
  uint32_t resolution() const { return resolution_; }
  void set_ramp(double rpm_per_second) { ramp_ = rpm_per_second; }
  bool at_target(const Command& command) const;

  static constexpr double kMaxSpeed = 4500;

 private:
  double target(const Command& command) const;

  uint32_t resolution_;
  double ramp_ = 20000;  // rpm per second
  double speed_ = 0;
  double torque_ = 0;
  double highest_speed_ = 0;
  double largest_torque_ = 0;
  uint32_t position_ = 0;
  double fraction_ = 0;
};

}  // namespace velmo::sim
