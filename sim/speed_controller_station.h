#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "sim/drive_station.h"

namespace velmo::sim {

// A bus-type speed controller: parameters F-01..F-31 (registers 1..8, 20..24,
// 30, 171, 172 within plain storage 0..0x2FF), each range-checked on a write
// (exception 03), run command, setpoints and a run-state word. A fault holds
// until a fault reset (a stop leaves it); its factory reset also sets the
// station number to 1.
class SpeedControllerStation : public DriveStation {
 public:
  SpeedControllerStation(uint8_t address, uint16_t program_version, uint16_t reg1, uint16_t reg2);

  bool on_write(uint16_t r, uint16_t v) override;
  uint8_t write_refusal(uint16_t r, uint16_t v) const override;
  void on_read(uint16_t r) override;
  void set_fault(bool stalled);  // the run state reads 8 until a fault reset
  // A real drive takes a while to start or stop: after a run or stop
  // command the run-state word shows the old state for this many more reads.
  void set_state_lag(int reads);

  static constexpr uint16_t kStationReg = 20;
  static constexpr uint16_t kFactoryResetReg = 30;
  static constexpr uint16_t kCommand = 0x1000;  // 1 fwd, 2 rev, 0 stop, 8 fault reset
  static constexpr uint16_t kSpeedSet = 0x1001, kTorqueSet = 0x1002, kBrake = 0x1003;
  static constexpr uint16_t kRunState = 0x2001;  // 0 stopped, 1 fwd, 2 rev, 8 fault
  static constexpr uint16_t kStateFault = 8;

 private:
  void change_state(uint16_t state);

  std::map<uint16_t, std::pair<uint16_t, uint16_t>> limits_;
  int lag_ = 0;
  int reads_left_ = 0;
  std::optional<uint16_t> coming_state_;
};

}  // namespace velmo::sim
