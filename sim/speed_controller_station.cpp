#include "sim/speed_controller_station.h"

#include <vector>

namespace velmo::sim {
namespace {

std::vector<DriveStation::RegValue> speed_controller_defaults(uint16_t reg1, uint16_t reg2) {
  return {{1, reg1}, {2, reg2}, {3, 80}, {4, 10}, {5, 1}, {6, 10}, {7, 0}, {8, 3},
          {21, 4},   {22, 2},   {23, 2},  {24, 0},  {30, 1}};
}

// What the drive takes per register (wire values: times in tenths of a second).
struct Limit {
  uint16_t reg, min, max;
};
constexpr Limit kLimits[] = {
    {1, 1, 5},   {2, 1, 2},   {3, 50, 100}, {4, 1, 100},  {5, 1, 3},    {6, 1, 100},        {7, 0, 20},
    {8, 1, 5},   {20, 1, 247}, {21, 1, 5},  {22, 1, 6},   {23, 1, 2},   {24, 0, 100},       {30, 1, 2},
    {SpeedControllerStation::kSpeedSet, 0, 1600}, {SpeedControllerStation::kTorqueSet, 0, 100},
    {SpeedControllerStation::kBrake, 0, 1},
};

}  // namespace

SpeedControllerStation::SpeedControllerStation(uint8_t address, uint16_t program_version, uint16_t reg1,
                                               uint16_t reg2)
    : DriveStation(address, {kStationReg, kFactoryResetReg, true}) {
  define_regs(0, 0x300);
  define_regs(0x1000, 0x10);
  define_regs(0x2000, 0x10);
  for (const Limit& l : kLimits) limits_[l.reg] = {l.min, l.max};
  set_defaults(speed_controller_defaults(reg1, reg2));
  apply_defaults();
  set_reg(kStationReg, address);
  set_reg(kProgramVersionReg, program_version);
  set_reg(kMenuVersionReg, 101);
  set_reg(kSpeedSet, 1000);
  set_reg(kTorqueSet, 50);
}

uint8_t SpeedControllerStation::write_refusal(uint16_t r, uint16_t v) const {
  std::lock_guard guard(lock());
  const auto it = limits_.find(r);
  if (it == limits_.end()) return 0;
  return v < it->second.first || v > it->second.second ? 3 : 0;
}

bool SpeedControllerStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r >= 0x2000 && r < 0x2010) return false;
  if (r == kCommand) {
    const bool faulted = reg(kRunState) == kStateFault;
    switch (v) {
      case 0:
        // A stop leaves a fault standing: only a fault reset clears it.
        if (!faulted) change_state(0);
        break;
      case 1: case 2:
        // Refused while faulted, and while the control mode (F-02) is not the bus.
        if (faulted || reg(2) != 2) return false;
        change_state(v);
        break;
      case 8:
        coming_state_.reset();
        set_reg(kRunState, 0);
        break;
      default: return false;
    }
    set_reg(r, v);
    return true;
  }
  return DriveStation::on_write(r, v);
}

void SpeedControllerStation::change_state(uint16_t state) {
  if (lag_ == 0) {
    coming_state_.reset();
    set_reg(kRunState, state);
    return;
  }
  coming_state_ = state;
  reads_left_ = lag_;
}

void SpeedControllerStation::on_read(uint16_t r) {
  std::lock_guard guard(lock());
  if (r != kRunState || !coming_state_) return;
  if (reads_left_ > 0) {
    --reads_left_;
    return;
  }
  set_reg(kRunState, *coming_state_);
  coming_state_.reset();
}

void SpeedControllerStation::set_state_lag(int reads) {
  std::lock_guard guard(lock());
  lag_ = reads < 0 ? 0 : reads;
}

void SpeedControllerStation::set_fault(bool stalled) {
  std::lock_guard guard(lock());
  coming_state_.reset();
  set_reg(kRunState, stalled ? kStateFault : 0);
}

}  // namespace velmo::sim
