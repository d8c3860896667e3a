#pragma once
#include <cstdint>
#include <map>
#include <utility>

#include "sim/drive_station.h"

namespace velmo::sim {

// An inverter of one of the five model types (by its program version word):
// the parameter registers of its type's menu, each range-checked (exception
// 03), a read touching a register the type lacks answers exception 02; the
// model code 180 is read-only, the station number moves after its reply and
// FB-00 = 2 restores the defaults. Control sources 4, 5, 8, 9 are not on the
// bus at power-on, and forward and reverse act only once they are; run
// command, frequency setpoint, status block (6 words on types 0 and 1, 4 on
// the others) and fault code. Its menu version word can be made to answer with exception 02 (type
// 4 has none).
class InverterStation : public DriveStation {
 public:
  InverterStation(uint8_t address, uint16_t program_version, bool menu_version_exception);

  bool on_write(uint16_t r, uint16_t v) override;
  uint8_t write_refusal(uint16_t r, uint16_t v) const override;
  bool listening() const override;

  int model_type() const;
  // The drive then hears the line only while FA-01..FA-03 name the line's
  // own settings (38400 bit/s, 8E1, RTU).
  void set_follows_line_settings(bool follows);
  void tick(int64_t now_ns) override;

  void set_fault(uint16_t code);  // 0 clears; any other code stops the motor
  void advance(double seconds);

  static constexpr uint16_t kCommand = 0x1000;    // 1 fwd, 2 rev, 0 or 3 stop, 8 fault reset
  static constexpr uint16_t kFrequency = 0x1001;  // 0.1 Hz
  static constexpr uint16_t kOutputFrequency = 0x2000, kRunState = 0x2001, kCurrent = 0x2002,
                            kBusVoltage = 0x2003, kBrakeLoad = 0x2004, kTemperature = 0x2005;
  static constexpr uint16_t kFaultCode = 0x3000;
  static constexpr uint16_t kModelReg = 180;
  static constexpr uint16_t kStateStopped = 0, kStateForward = 1, kStateReverse = 2, kStateFault = 8;

 private:
  void publish();

  int model_type_ = 0;
  std::map<uint16_t, std::pair<uint16_t, uint16_t>> limits_;
  bool follows_line_settings_ = false;

  int direction_ = 0;
  double frequency_ = 0;  // 0.1 Hz, signed by direction
  int64_t last_tick_ns_ = 0;
};

}  // namespace velmo::sim
