#include "sim/inverter_station.h"

#include "sim/inverter_registers.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace velmo::sim {
namespace {

constexpr double kRamp = 2000;  // 0.1 Hz per second

// The line's own settings: 38400 bit/s, 8E1, RTU.
constexpr uint16_t kLineBaud = 4, kLineFormat = 2, kLineMode = 2;

}  // namespace

InverterStation::InverterStation(uint8_t address, uint16_t program_version, bool menu_version_exception)
    : DriveStation(address, {160, 170, false}), model_type_(inverter_model_type(program_version)) {
  std::vector<RegValue> defaults;
  for (const InverterRegister& r : inverter_registers(model_type_)) {
    define_regs(r.reg, 1);
    limits_[r.reg] = {r.min, r.max};
    if (r.reg != kProgramVersionReg && r.reg != kMenuVersionReg && r.reg != 160) defaults.push_back({r.reg, r.initial});
  }
  define_regs(0x1000, 0x10);
  // Types 2 to 4 have no braking-resistor load or temperature words: a read
  // from 0x2004 on is refused with exception 02.
  define_regs(0x2000, model_type_ < 2 ? 0x10 : 4);
  define_regs(kFaultCode, 1);
  set_defaults(defaults);
  apply_defaults();
  set_reg(160, address);
  // The version words answer on every type, as the node search reads them.
  define_regs(kProgramVersionReg, 2);
  set_reg(kProgramVersionReg, program_version);
  set_reg(kMenuVersionReg, 101);
  if (menu_version_exception || model_type_ == 4) undefine_reg(kMenuVersionReg);
  set_reg(kFrequency, 200);
  set_reg(kBusVoltage, 5400);
  if (model_type_ < 2) {
    set_reg(kBrakeLoad, 2);
    set_reg(kTemperature, 35);
  }
  publish();
}

uint8_t InverterStation::write_refusal(uint16_t r, uint16_t v) const {
  std::lock_guard guard(lock());
  const auto it = limits_.find(r);
  if (it == limits_.end() || r == kProgramVersionReg || r == kMenuVersionReg || r == kModelReg) return 0;
  return v < it->second.first || v > it->second.second ? 3 : 0;
}

bool InverterStation::listening() const {
  std::lock_guard guard(lock());
  return !follows_line_settings_ ||
         (reg(161) == kLineBaud && reg(162) == kLineFormat && (!has_reg(163) || reg(163) == kLineMode));
}

void InverterStation::set_follows_line_settings(bool follows) {
  std::lock_guard guard(lock());
  follows_line_settings_ = follows;
}

int InverterStation::model_type() const { return model_type_; }

bool InverterStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r >= 0x2000 && r < 0x2010) return false;
  if (r == kFaultCode || r == kModelReg) return false;  // read-only
  if (r == kCommand) {
    switch (v) {
      case 0: case 3: direction_ = 0; break;
      case 1: case 2:
        if (reg(kFaultCode) != 0) return false;
        // Run commands from the bus count only while both control sources
        // are on the bus (4, 5 = 4 and 8, 9 = 8); otherwise the write is
        // taken and the motor stays as it is.
        if (reg(4) == 4 && reg(5) == 4 && reg(8) == 8 && reg(9) == 8) direction_ = v == 1 ? 1 : -1;
        break;
      case 8:
        set_reg(kFaultCode, 0);
        direction_ = 0;
        break;
      default:
        return false;
    }
    set_reg(r, v);
    publish();
    return true;
  }
  return DriveStation::on_write(r, v);
}

void InverterStation::advance(double seconds) {
  std::lock_guard guard(lock());
  const double goal = direction_ * static_cast<double>(reg(kFrequency));
  const double step = kRamp * seconds;
  frequency_ = std::abs(goal - frequency_) <= step ? goal : frequency_ + (goal > frequency_ ? step : -step);
  publish();
}

void InverterStation::tick(int64_t now_ns) {
  std::lock_guard guard(lock());
  if (last_tick_ns_ != 0 && now_ns > last_tick_ns_) advance((now_ns - last_tick_ns_) / 1e9);
  last_tick_ns_ = now_ns;
}

void InverterStation::set_fault(uint16_t code) {
  std::lock_guard guard(lock());
  set_reg(kFaultCode, code);
  if (code != 0) {
    direction_ = 0;
    frequency_ = 0;
  }
  publish();
}

void InverterStation::publish() {
  const uint16_t f = static_cast<uint16_t>(std::lround(std::abs(frequency_)));
  set_reg(kOutputFrequency, f);
  uint16_t state = kStateStopped;
  if (reg(kFaultCode) != 0) state = kStateFault;
  else if (direction_ > 0) state = kStateForward;
  else if (direction_ < 0) state = kStateReverse;
  set_reg(kRunState, state);
  set_reg(kCurrent, static_cast<uint16_t>(f == 0 ? 0 : 150 + f / 4));  // 0.01 A
}

}  // namespace velmo::sim
