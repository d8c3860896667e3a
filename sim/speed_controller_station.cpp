#include "sim/speed_controller_station.h"

#include <vector>

namespace velmo::sim {
namespace {

std::vector<DriveStation::RegValue> speed_controller_defaults(uint16_t reg1, uint16_t reg2) {
  return {{1, reg1}, {2, reg2}, {3, 80}, {4, 10}, {5, 1}, {6, 10}, {7, 0}, {8, 3},
          {21, 4},   {22, 2},   {23, 2},  {24, 0},  {30, 1}};
}

}  // namespace

SpeedControllerStation::SpeedControllerStation(uint8_t address, uint16_t program_version, uint16_t reg1,
                                               uint16_t reg2)
    : DriveStation(address, {kStationReg, kFactoryResetReg, true}) {
  define_regs(0, 0x300);
  define_regs(0x1000, 0x10);
  define_regs(0x2000, 0x10);
  set_defaults(speed_controller_defaults(reg1, reg2));
  apply_defaults();
  set_reg(kStationReg, address);
  set_reg(kProgramVersionReg, program_version);
  set_reg(kMenuVersionReg, 101);
  set_reg(kSpeedSet, 1000);
  set_reg(kTorqueSet, 50);
}

bool SpeedControllerStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r >= 0x2000 && r < 0x2010) return false;
  if (r == kCommand) {
    switch (v) {
      case 0: set_reg(kRunState, 0); break;
      case 1: case 2:
        // Refused while faulted, and while the control mode (F-02) is not the bus.
        if (reg(kRunState) == 8 || reg(2) != 2) return false;
        set_reg(kRunState, v);
        break;
      case 8: set_reg(kRunState, 0); break;
      default: return false;
    }
    set_reg(r, v);
    return true;
  }
  return DriveStation::on_write(r, v);
}

void SpeedControllerStation::set_fault(bool stalled) {
  std::lock_guard guard(lock());
  set_reg(kRunState, stalled ? 8 : 0);
}

}  // namespace velmo::sim
