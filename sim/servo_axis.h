#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "sim/motion_recorder.h"
#include "sim/servo_mechanics.h"
#include "sim/servo_plant.h"
#include "sim/servo_registers.h"
#include "sim/test_move.h"

namespace velmo::sim {

class Station;

// The servo drive's tuning side: test mode and test moves, servo on/off, the
// motion recording and the peak torque, over the plant that really moves.
// Gains, gear, notches and suppressors come from the drive's own registers.
class ServoAxis {
 public:
  ServoAxis(Station& regs, const servo_regs::TuningLayout& layout, int layout_number, uint16_t motor_code);

  // Writes to the registers it owns: nullopt for any other register, else
  // whether the drive takes the write.
  std::optional<bool> on_write(uint16_t r, uint16_t v);
  void settings_changed() { dirty_ = true; }
  // A read of the recording: false when the range is not the recording's;
  // otherwise the data bytes, or an exception code when it cannot be served.
  bool read_recording(uint16_t start, uint16_t count, std::vector<uint8_t>& data, uint8_t& exception);

  void advance(double seconds);
  void fault();  // the drive trips: servo off, the move ends
  bool engaged() const { return engaged_; }
  bool moving() const { return move_.active(); }
  uint32_t position() const { return plant_->encoder(); }
  int peak_torque_percent() const { return plant_->peak_torque_percent(); }
  void set_position(uint32_t counts);
  void set_motor(uint16_t motor_code);
  void set_mechanics(const ServoMechanics& mechanics);
  const ServoMechanics& mechanics() const { return mech_; }
  // Trips the drive with this code once that many reads of the recording were served.
  void fault_during_capture(uint16_t code, int after_reads, std::function<void(uint16_t)> trip);
  const ServoPlant& plant() const { return *plant_; }

 private:
  LoopSettings read_settings() const;
  bool start_move(uint16_t direction);
  uint32_t gear_term(uint16_t first) const;

  Station& regs_;
  servo_regs::TuningLayout layout_;
  int layout_number_;
  ServoMechanics mech_;
  std::unique_ptr<ServoPlant> plant_;
  TestMove move_;
  MotionRecorder recorder_;
  bool armed_ = false;
  bool engaged_ = false;
  bool dirty_ = true;
  double pending_s_ = 0;
  int capture_fault_reads_ = -1;
  uint16_t capture_fault_code_ = 0;
  std::function<void(uint16_t)> trip_;
};

}  // namespace velmo::sim
