#pragma once
#include <cstdint>

#include "sim/drive_station.h"

namespace velmo::sim {

// A bus-type speed controller: parameters F-01..F-31 (registers 1..8, 20..24,
// 30, 171, 172 within plain storage 0..0x2FF), run command, setpoints and a
// run-state word. Its factory reset also sets the station number to 1.
class SpeedControllerStation : public DriveStation {
 public:
  SpeedControllerStation(uint8_t address, uint16_t program_version, uint16_t reg1, uint16_t reg2);

  bool on_write(uint16_t r, uint16_t v) override;
  void set_fault(bool stalled);  // the run state reads 8 until a fault reset

  static constexpr uint16_t kStationReg = 20;
  static constexpr uint16_t kFactoryResetReg = 30;
  static constexpr uint16_t kCommand = 0x1000;  // 1 fwd, 2 rev, 0 stop, 8 fault reset
  static constexpr uint16_t kSpeedSet = 0x1001, kTorqueSet = 0x1002, kBrake = 0x1003;
  static constexpr uint16_t kRunState = 0x2001;  // 0 stopped, 1 fwd, 2 rev, 8 fault
};

}  // namespace velmo::sim
