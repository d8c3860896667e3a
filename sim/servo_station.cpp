#include "sim/servo_station.h"

#include <algorithm>

#include "link/servo_motor_table.h"
#include "sim/servo_defaults.h"

namespace velmo::sim {

using namespace servo_regs;

namespace {
uint32_t resolution_of(uint16_t program_version) {
  const int series = program_version / 100;
  return series == 60 || series == 80 ? 4096 : 131072;
}
// A motor whose encoder matches the program version's resolution.
uint16_t motor_code_of(uint16_t program_version) { return resolution_of(program_version) == 4096 ? 4005 : 6002; }
uint16_t lo_word(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
uint16_t hi_word(uint32_t v) { return static_cast<uint16_t>(v >> 16); }
}  // namespace

ServoStation::ServoStation(uint8_t address, uint16_t program_version, uint16_t menu_version)
    : DriveStation(address, {kStationNumber, kFactoryReset, false}),
      layout_number_(menu_version % 100 == 1 ? 1 : 2),
      layout_(layout_number_ == 1 ? kLayout1 : kLayout2),
      motion_(resolution_of(program_version)),
      motor_code_(motor_code_of(program_version)),
      axis_(*this, layout_number_ == 1 ? kTuning1 : kTuning2, layout_number_, motor_code_) {
  define_regs(kParamFirst, kParamCount);
  define_regs(kControlFirst, kControlCount);
  define_regs(kStatusFirst, kStatusCount);
  define_regs(kFaultCode, 1);
  define_regs(kTestMoveFirst, kTestMoveCount);
  define_regs(kServoOnOff, 1);
  set_defaults(servo_default_params(layout_number_));
  apply_defaults();
  set_reg(kStationNumber, address);
  set_reg(kMotorModel, motor_code_);
  set_reg(161, 4);  // 38400 bps
  set_reg(162, 2);  // 8 E 1
  set_reg(163, 2);  // RTU
  set_reg(kProgramVersionReg, program_version);
  set_reg(kMenuVersionReg, menu_version);
  set_reg(kControlMode, kModeSpeed);
  set_reg(kSpeedSet, 1000);
  set_reg(kTorqueLimit, 300);
  set_reg(kTorqueSet, 50);
  set_reg(kSpeedLimit, 500);
  set_reg(kDriveTemperature, 38);
  set_reg(kBrakeLoad, 3);
  set_reg(kBusVoltageMax, 325);
  set_reg(kBusVoltageMin, 308);
  publish();
}

bool ServoStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r >= kStatusFirst && r < kStatusFirst + kStatusCount) return false;  // read-only
  if (r == kFaultCode) return false;
  if (r == kCommand) return command(v);
  if (auto taken = axis_.on_write(r, v)) {
    publish();
    return *taken;
  }
  if (r == kControlMode) {
    if (v > kModeTorque) return false;
    set_reg(r, v);
    publish();
    return true;
  }
  if (r >= layout_.home && r <= layout_.reverse_limit) return point_write(r, v);
  if (is_self_learning_reg(r)) return self_learning_write(r, v);
  if (r == kRunMode && v != kRunModeBus) direction_ = 0;  // leaving bus control stops bus motion
  const bool ok = DriveStation::on_write(r, v);
  if (r < kParamCount) axis_.settings_changed();
  publish();
  return ok;
}

bool ServoStation::command(uint16_t v) {
  switch (v) {
    case kCmdStop:
      direction_ = 0;
      break;
    case kCmdForward:
    case kCmdReverse:
      // Bus commands run the motor only under bus control and without a fault.
      if (reg(kRunMode) != kRunModeBus || stops_drive(reg(kFaultCode))) return false;
      direction_ = v == kCmdForward ? 1 : -1;
      break;
    case kCmdFaultReset:
      set_reg(kFaultCode, 0);
      direction_ = 0;
      v = kCmdStop;
      break;
    default:
      return false;
  }
  set_reg(kCommand, v);
  publish();
  return true;
}

bool ServoStation::point_write(uint16_t r, uint16_t v) {
  Point& point = r == layout_.home ? home_ : r == layout_.forward_limit ? forward_limit_ : reverse_limit_;
  if (v == kPointSet) {
    point = {true, motion_.position()};
  } else if (v == kPointClear) {
    point = {};
  } else {
    return false;
  }
  set_reg(r, v);
  publish();
  return true;
}

bool ServoStation::is_self_learning_reg(uint16_t r) const {
  return std::find(layout_.self_learning.begin(), layout_.self_learning.end(), r) != layout_.self_learning.end();
}

bool ServoStation::self_learning_write(uint16_t r, uint16_t v) {
  if (v == 0 || v > 5) return false;
  set_reg(r, v);
  if (v == 1) {
    learning_.erase(r);
    return true;
  }
  learning_[r] = {busy_polls_, true};
  ++learning_starts_;
  last_learning_ = std::make_pair(r, v);
  return true;
}

void ServoStation::on_read(uint16_t r) {
  std::lock_guard guard(lock());
  auto it = learning_.find(r);
  if (it == learning_.end() || !it->second.busy) return;
  if (it->second.polls_left > 0) {
    --it->second.polls_left;
    return;
  }
  it->second.busy = false;
  if (learning_fails_) {
    set_reg(kFaultCode, kWarningSelfLearning);  // the run never completes
  } else {
    set_reg(r, 1);
    learning_.erase(it);
  }
}

ServoMotion::Command ServoStation::motion_command() const {
  ServoMotion::Command c;
  c.direction = direction_;
  c.torque_mode = reg(kControlMode) == kModeTorque;
  c.speed_set = reg(kSpeedSet);
  c.torque_limit = reg(kTorqueLimit);
  c.torque_set = reg(kTorqueSet);
  c.speed_limit = reg(kSpeedLimit);
  return c;
}

void ServoStation::step(double seconds) {
  axis_.advance(seconds);
  const uint32_t before = motion_.position();
  motion_.step(motion_command(), seconds);
  check_limits(before, motion_.position());
  publish();
}

void ServoStation::check_limits(uint32_t before, uint32_t after) {
  // Signed distance to the limit, so crossing works across the 32-bit wrap.
  auto side = [](uint32_t pos, uint32_t limit) { return static_cast<int32_t>(pos - limit); };
  uint16_t fault = 0;
  if (forward_limit_.set && motion_.speed() > 0 && side(before, forward_limit_.counts) < 0 &&
      side(after, forward_limit_.counts) >= 0)
    fault = kFaultForwardLimit;
  if (reverse_limit_.set && motion_.speed() < 0 && side(before, reverse_limit_.counts) > 0 &&
      side(after, reverse_limit_.counts) <= 0)
    fault = kFaultReverseLimit;
  if (fault != 0) set_fault(fault);
}

void ServoStation::tick(int64_t now_ns) {
  std::lock_guard guard(lock());
  if (last_tick_ns_ != 0 && now_ns > last_tick_ns_) step((now_ns - last_tick_ns_) / 1e9);
  last_tick_ns_ = now_ns;
}

void ServoStation::advance(double seconds) {
  std::lock_guard guard(lock());
  step(seconds);
}

void ServoStation::publish() {
  const uint16_t fault = reg(kFaultCode);
  const bool faulted = stops_drive(fault);
  const bool torque_mode = reg(kControlMode) == kModeTorque;
  const bool at_rest = direction_ == 0;
  uint16_t word = kBitSafetySwitch;
  if (faulted) {
    word |= kBitFault;
  } else if (at_rest) {
    word |= kBitStopped;
  } else {
    word |= direction_ > 0 ? kBitForward : kBitReverse;
  }
  if (!torque_mode && !at_rest && motion_.torque() >= reg(107)) word |= kBitTorqueReached;
  if (!torque_mode && at_rest && reg(kSpeedShaftLock) == 1) word |= kBitSpeedShaftLock;
  if (torque_mode && !at_rest && motion_.at_target(motion_command())) word |= kBitSpeedReached;
  if (torque_mode && at_rest && reg(kTorqueShaftLock) == 1) word |= 0x0100;
  set_reg(kStatusWord, word);
  set_reg(kSpeed, static_cast<uint16_t>(static_cast<int16_t>(motion_.speed())));
  set_reg(kTorque, static_cast<uint16_t>(motion_.torque()));
  set_reg(kHighestSpeed, static_cast<uint16_t>(motion_.highest_speed()));
  // Once the tuning has moved the axis, it holds the position and the peak torque.
  set_reg(kLargestTorque, static_cast<uint16_t>(axis_.engaged() ? axis_.peak_torque_percent()
                                                                 : motion_.largest_torque()));
  const uint32_t positions[4] = {axis_.engaged() ? axis_.position() : motion_.position(), home_.counts, forward_limit_.counts, reverse_limit_.counts};
  for (int k = 0; k < 4; ++k) {
    set_reg(static_cast<uint16_t>(kPosition + 2 * k), lo_word(positions[k]));
    set_reg(static_cast<uint16_t>(kPosition + 2 * k + 1), hi_word(positions[k]));
  }
}

void ServoStation::set_fault(uint16_t code) {
  std::lock_guard guard(lock());
  set_reg(kFaultCode, code);
  if (stops_drive(code)) {
    direction_ = 0;
    set_reg(kCommand, kCmdStop);
    motion_.halt();
    axis_.fault();
  }
  publish();
}

void ServoStation::set_self_learning(int busy_polls, bool fail) {
  std::lock_guard guard(lock());
  busy_polls_ = std::max(0, busy_polls);
  learning_fails_ = fail;
}

void ServoStation::set_ramp(double rpm_per_second) {
  std::lock_guard guard(lock());
  motion_.set_ramp(rpm_per_second);
}

void ServoStation::set_position(uint32_t counts) {
  std::lock_guard guard(lock());
  motion_.set_position(counts);
  axis_.set_position(counts);
  publish();
}

uint32_t ServoStation::position() const {
  std::lock_guard guard(lock());
  return axis_.engaged() ? axis_.position() : motion_.position();
}

int ServoStation::self_learning_starts() const {
  std::lock_guard guard(lock());
  return learning_starts_;
}

std::optional<std::pair<uint16_t, uint16_t>> ServoStation::last_self_learning_start() const {
  std::lock_guard guard(lock());
  return last_learning_;
}

void ServoStation::set_motor_code(uint16_t code) {
  std::lock_guard guard(lock());
  motor_code_ = code;
  set_reg(kMotorModel, code);
  axis_.set_motor(code);
}

uint32_t ServoStation::motor_resolution() const { return servo_motors::identify(motor_code()).resolution; }

void ServoStation::set_mechanics(const ServoMechanics& mechanics) {
  std::lock_guard guard(lock());
  axis_.set_mechanics(mechanics);
}

void ServoStation::fault_during_capture(uint16_t code, int after_reads) {
  std::lock_guard guard(lock());
  axis_.fault_during_capture(code, after_reads, [this](uint16_t c) { set_fault(c); });
}

bool ServoStation::read_wide(uint16_t start, uint16_t count, std::vector<uint8_t>& data, uint8_t& exception) {
  std::lock_guard guard(lock());
  const bool mine = axis_.read_recording(start, count, data, exception);
  publish();
  return mine;
}

uint16_t ServoStation::motor_code() const {
  std::lock_guard guard(lock());
  return motor_code_;
}

void ServoStation::after_factory_reset() {
  set_reg(kMotorModel, motor_code_);
  home_ = forward_limit_ = reverse_limit_ = {};
  learning_.clear();
  publish();
}

}  // namespace velmo::sim
