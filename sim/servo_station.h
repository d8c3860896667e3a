#pragma once
#include <cstdint>
#include <map>
#include <optional>

#include "sim/drive_station.h"
#include "sim/servo_axis.h"
#include "sim/servo_motion.h"
#include "sim/servo_registers.h"

namespace velmo::sim {

// A servo drive: parameters of its menu layout, bus control (run refused
// unless F0-00 is 9 and no fault is present), status words from the motion
// model, home point and limits, self-learning runs.
class ServoStation : public DriveStation {
 public:
  ServoStation(uint8_t address, uint16_t program_version, uint16_t menu_version);

  bool on_write(uint16_t r, uint16_t v) override;
  void on_read(uint16_t r) override;
  void tick(int64_t now_ns) override;
  bool read_wide(uint16_t start, uint16_t count, std::vector<uint8_t>& data, uint8_t& exception) override;

  int layout() const { return layout_number_; }
  const servo_regs::Layout& layout_regs() const { return layout_; }
  uint32_t resolution() const { return motion_.resolution(); }

  // Test handles (thread-safe).
  void set_fault(uint16_t code);
  void set_self_learning(int busy_polls, bool fail);
  void set_ramp(double rpm_per_second);
  void set_position(uint32_t counts);
  // The motor on the drive (register 181, class * 100 + variant); kept over a
  // factory reset.
  void set_motor_code(uint16_t code);
  uint16_t motor_code() const;
  uint32_t motor_resolution() const;  // encoder counts per revolution of the motor
  // The axis the tuning moves: load, friction, mechanical phenomena.
  void set_mechanics(const ServoMechanics& mechanics);
  // Trips the drive with this fault once that many reads of the recording were served.
  void fault_during_capture(uint16_t code, int after_reads);
  uint32_t position() const;
  void advance(double seconds);  // runs the motion model without the clock
  int self_learning_starts() const;
  std::optional<std::pair<uint16_t, uint16_t>> last_self_learning_start() const;  // register, value

 private:
  struct Point {
    bool set = false;
    uint32_t counts = 0;
  };
  struct SelfLearning {
    int polls_left = 0;
    bool busy = false;
  };

  bool command(uint16_t v);
  bool point_write(uint16_t r, uint16_t v);
  bool self_learning_write(uint16_t r, uint16_t v);
  bool is_self_learning_reg(uint16_t r) const;
  ServoMotion::Command motion_command() const;
  void step(double seconds);
  void check_limits(uint32_t before, uint32_t after);
  void publish();
  void after_factory_reset() override;

  int layout_number_;
  servo_regs::Layout layout_;
  ServoMotion motion_;
  int direction_ = 0;
  Point home_, forward_limit_, reverse_limit_;
  std::map<uint16_t, SelfLearning> learning_;
  int busy_polls_ = 3;
  bool learning_fails_ = false;
  int learning_starts_ = 0;
  std::optional<std::pair<uint16_t, uint16_t>> last_learning_;
  int64_t last_tick_ns_ = 0;
  uint16_t motor_code_;
  ServoAxis axis_;
};

}  // namespace velmo::sim
