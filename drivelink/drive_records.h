#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "drivelink/node_classification.h"

namespace velmo {

// What a search found at a station, and on which line. The drive at a
// station is this whole record, not its number: the same number on another
// line, or with another program version or menu layout behind it, is
// another drive.
struct FoundDrive {
  std::string line;       // the port as opened, and the device it leads to
  uint8_t station = 0;    // where it answers now (follows a renumbering)
  DeviceFamily family = DeviceFamily::Servo;
  uint16_t version = 0;   // program version word (0x00AB)
  uint16_t layout = 0;    // menu variant the connect step read (0: not read yet)
  uint64_t seen = 0;      // when it last answered (search count); the latest wins a tie
};

// Everything the program keeps of one drive under its address: the connect
// snapshot, what a window's bus control left to restore, run and mode state.
// It follows the drive: to its new number when renumbered, and aside (kept
// with the drive's identity) while the drive is not on the searched line.
struct StationRecords {
  std::array<int32_t, 20> servo_saved_params{};
  uint32_t servo_run_mode = 0;
  uint32_t servo_gain_switch = 0;
  std::array<uint32_t, 4> bpq_rs485_regs{};
  uint8_t tsq_reg1 = 0;
  uint32_t tsq_reg2 = 0;
  uint8_t servo_restore_flags = 0;
  uint8_t servo_rs485_mode = 0;
  uint8_t servo_run_state = 0;
  uint8_t servo_jog_mode = 0;
  uint8_t bpq_run_state = 0;
  uint8_t tsq_run_state = 0;
  // Kept by list position in the state; here by drive.
  uint8_t bpq_restore_flags = 0;
  uint8_t bpq_rs485_ok = 0;
  uint8_t tsq_restore_flags = 0;
  uint8_t tsq_rs485_ok = 0;
};

}  // namespace velmo
