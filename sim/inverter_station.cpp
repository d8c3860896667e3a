#include "sim/inverter_station.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace velmo::sim {
namespace {

constexpr double kRamp = 2000;  // 0.1 Hz per second

std::vector<DriveStation::RegValue> inverter_defaults() {
  std::vector<DriveStation::RegValue> rows;
  // Parameters restart from 1 (the first item of every list), then these.
  for (uint16_t r = 0; r < 160; ++r) rows.push_back({r, 1});
  for (uint16_t r = 165; r < 171; ++r) rows.push_back({r, 1});
  for (uint16_t r = 173; r < 0x300; ++r) rows.push_back({r, 0});
  const std::vector<DriveStation::RegValue> named = {
      {2, 500}, {3, 0}, {4, 1}, {5, 2}, {8, 1}, {9, 2}, {13, 500}, {14, 0}, {15, 1000}, {16, 1000}, {17, 1000},
      {18, 1000}, {180, 405}};
  rows.insert(rows.end(), named.begin(), named.end());
  return rows;
}

}  // namespace

InverterStation::InverterStation(uint8_t address, uint16_t program_version, bool menu_version_exception)
    : DriveStation(address, {160, 170, false}) {
  define_regs(0, 0x300);
  define_regs(0x1000, 0x10);
  define_regs(0x2000, 0x10);
  define_regs(kFaultCode, 1);
  set_defaults(inverter_defaults());
  apply_defaults();
  set_reg(160, address);
  set_reg(161, 4);
  set_reg(162, 2);
  set_reg(163, 2);
  set_reg(164, 0);
  set_reg(kProgramVersionReg, program_version);
  set_reg(kMenuVersionReg, 101);
  if (menu_version_exception) undefine_reg(kMenuVersionReg);
  set_reg(kFrequency, 200);
  set_reg(kBusVoltage, 5400);
  set_reg(kBrakeLoad, 2);
  set_reg(kTemperature, 35);
  publish();
}

bool InverterStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r >= 0x2000 && r < 0x2010) return false;
  if (r == kFaultCode) return false;
  if (r == kCommand) {
    switch (v) {
      case 0: case 3: direction_ = 0; break;
      case 1: case 2:
        if (reg(kFaultCode) != 0) return false;
        direction_ = v == 1 ? 1 : -1;
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
