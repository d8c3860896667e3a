#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "drivelink/drive_records.h"

namespace velmo {

// Window codes: which window's log receives the traffic.
enum class WindowCode : uint8_t {
  Main = 1,
  ServoMenuEditor = 2,
  GainTuning = 3,
  ServoControl = 4,
  SelfLearning = 8,
  InverterControl = 9,
  InverterMenuEditor = 10,
  HomeAndLimits = 13,
  InverterFaultTable = 16,
  ServoFaultTable = 17,
  SpeedCtlMenuEditor = 18,
  SpeedCtlControl = 19,
};

inline constexpr int kAddrSlots = 251;  // [a]: indexed by station address, 1..247 used
inline constexpr int kListSlots = 251;  // [i]: indexed by position in a family list
inline constexpr int kMaxStation = 247;

template <typename T> using ByAddr = std::array<T, kAddrSlots>;
template <typename T> using ByPos = std::array<T, kListSlots>;

// The one record through which every window reaches the drives and the node
// registry. Owned by the main window, touched only on the GUI thread.
struct DriveLinkState {
  DriveLinkState();

  // ---- Link: request, reply, timing ----
  std::array<uint8_t, 202> tx_buf{};
  uint8_t tx_len = 0;
  std::array<uint8_t, 2001> rx_buf{};
  uint16_t rx_len = 0;          // length of the chunk last copied into rx_buf
  uint8_t reply_flag = 0;
  uint32_t crc_ok = 0;
  uint8_t rx_arrived = 0;
  int32_t rx_count = 0;
  uint32_t crc_value = 0;
  uint8_t sending = 0;
  uint32_t comm_timeout_ms = 0;
  uint32_t char_time_ms = 0;

  // ---- Link: operands, guards and results ----
  uint8_t param_reg = 0;
  int32_t param_value = 0;
  uint32_t cmd_reg = 0;
  uint32_t cmd_value = 0;
  uint32_t block_start = 0;
  uint32_t block_count = 0;
  uint8_t write_busy = 0;
  uint8_t read_busy = 0;
  uint8_t abort_wait = 0;
  uint8_t verify_replies = 0;
  uint8_t cmd_fail = 0;
  uint8_t comm_error = 0;
  uint8_t tune_error = 0;
  uint8_t rx_log_off = 0;
  uint8_t active_form = 1;
  uint8_t batch_go = 0;
  uint32_t connected = 0;
  // Calls of senddata refused because another exchange was waiting.
  uint32_t refused_count = 0;

  // ---- Node registry ----
  // The lists of the line searched last, by position. A number alone names
  // no drive: which drive answers at it, what follows it and what is set
  // aside when it goes are in drive_identity.h.
  ByPos<uint8_t> servo_nodes{};
  ByPos<uint8_t> bpq_nodes{};
  ByPos<uint8_t> tsq_nodes{};
  uint8_t servo_count = 0;
  uint8_t bpq_count = 0;
  uint8_t tsq_count = 0;
  ByPos<uint32_t> servo_resolution_list{};
  ByPos<uint32_t> servo_subtype_list{};
  ByPos<uint8_t> servo_high_model{};
  ByPos<uint32_t> bpq_subtype_list{};
  ByPos<uint8_t> bpq_model_type_list{};
  ByPos<uint8_t> bpq_power_code{};
  ByPos<uint8_t> bpq_stop3_flags{};

  // ---- Which drive answers where (see drive_identity.h) ----
  // Every drive a search has found, on any line; a drive's tag is its
  // position here plus one.
  std::vector<FoundDrive> drives_found;
  // The tag of the drive answering at each address of the line searched
  // last (0: none).
  ByAddr<uint32_t> drive_at{};
  // The line the last search opened.
  std::string line;
  uint64_t found_stamp = 0;  // counts answers, for FoundDrive::seen
  // The records of drives not on the line searched, by tag, until their
  // drive answers again.
  std::map<uint32_t, StationRecords> parked;

  // ---- Connect snapshot ----
  std::array<uint32_t, 38> servo_param_regs{};
  ByAddr<std::array<int32_t, 20>> servo_saved_params{};
  ByAddr<uint32_t> servo_run_mode{};
  ByAddr<uint32_t> servo_gain_switch{};
  std::array<uint8_t, 4> bpq_rs485_regnums{};
  ByAddr<std::array<uint32_t, 4>> bpq_rs485_regs{};
  ByAddr<uint8_t> tsq_reg1{};
  ByAddr<uint32_t> tsq_reg2{};

  // ---- Bus control windows ----
  ByAddr<uint8_t> servo_restore_flags{};
  uint8_t servo_restore_pending = 0;
  ByAddr<uint8_t> servo_rs485_mode{};
  uint8_t servo_pending_cmd = 0;
  uint8_t servo_any_running = 0;
  ByAddr<uint8_t> servo_run_state{};
  ByAddr<uint8_t> servo_jog_mode{};
  uint8_t jog_pending_cmd = 0;  // deferred command of the home/limit window
  ByPos<uint8_t> bpq_rs485_ok{};
  ByPos<uint8_t> bpq_restore_flags{};
  uint8_t bpq_pending_cmd = 0;
  ByAddr<uint8_t> bpq_run_state{};
  ByPos<uint8_t> tsq_rs485_ok{};
  ByPos<uint8_t> tsq_restore_flags{};
  uint8_t tsq_pending_cmd = 0;
  ByAddr<uint8_t> tsq_run_state{};
  int32_t read_ok_count = 0;
  int32_t read_fail_count = 0;

  // ---- Menu editors ----
  uint8_t menu_file_loading = 0;
  uint8_t servo_menu_read_error = 0;
  uint8_t servo_menu_write_error = 0;
  uint8_t bpq_menu_read_error = 0;
  uint8_t bpq_menu_write_error = 0;
  uint8_t tsq_menu_read_error = 0;
  uint8_t bpq_voltage_class = 0;
  float bpq_current_min = 0;
  float bpq_current_max = 0;

  // Servo list registers of the variant: entries 0..19 for layout 1, 20..37 otherwise.
  int servo_list_first(uint32_t subtype) const { return subtype == 1 ? 0 : 20; }
  int servo_list_size(uint32_t subtype) const { return subtype == 1 ? 20 : 18; }
};

}  // namespace velmo
