#pragma once
#include <cstdint>

#include "sim/drive_station.h"

namespace velmo::sim {

// An inverter: parameters 0..0x2FF (control sources 4, 5, 8, 9 not on the
// bus at power-on), run command and frequency setpoint, status block and
// fault code. Its menu version word can be made to answer with exception 02.
class InverterStation : public DriveStation {
 public:
  InverterStation(uint8_t address, uint16_t program_version, bool menu_version_exception);

  bool on_write(uint16_t r, uint16_t v) override;
  void tick(int64_t now_ns) override;

  void set_fault(uint16_t code);  // 0 clears; any other code stops the motor
  void advance(double seconds);

  static constexpr uint16_t kCommand = 0x1000;    // 1 fwd, 2 rev, 0 or 3 stop, 8 fault reset
  static constexpr uint16_t kFrequency = 0x1001;  // 0.1 Hz
  static constexpr uint16_t kOutputFrequency = 0x2000, kRunState = 0x2001, kCurrent = 0x2002,
                            kBusVoltage = 0x2003, kBrakeLoad = 0x2004, kTemperature = 0x2005;
  static constexpr uint16_t kFaultCode = 0x3000;
  static constexpr uint16_t kStateStopped = 0, kStateForward = 1, kStateReverse = 2, kStateFault = 8;

 private:
  void publish();

  int direction_ = 0;
  double frequency_ = 0;  // 0.1 Hz, signed by direction
  int64_t last_tick_ns_ = 0;
};

}  // namespace velmo::sim
