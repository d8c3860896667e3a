#include "servo/servo_bus_release.h"

#include <vector>

#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"
#include "drivelink/drive_link_state.h"
#include "servo/servo_bus_registers.h"
#include "servo/servo_status_table.h"

namespace velmo::servo {

bool any_servo_running(DriveLinkState& st) {
  // A drive stopped since the last try no longer counts.
  st.servo_any_running = 0;
  for (int i = 0; i < st.servo_count; ++i)
    if (st.servo_run_state[st.servo_nodes[i]] != 0) st.servo_any_running = 1;
  return st.servo_any_running != 0;
}

void settle_run_state(DriveLinkState& st, uint8_t node, uint16_t status_word) {
  uint8_t& state = st.servo_run_state[node];
  state = state == BusControlWindow::kRunUnknown
              ? servo_status::run_state_after(status_word, true, 0)
              : servo_status::run_state_after(status_word, st.servo_restore_flags[node] != 0, state);
}

bool found_under_bus_control(const DriveLinkState& st, uint8_t station) {
  // The first register of either layout's snapshot is F0-00.
  return st.servo_restore_flags[station] == 0 && st.servo_saved_params[station][0] == bus_regs::kBusControl;
}

void flag_for_restore(DriveLinkState& st, uint8_t station, uint8_t owner) {
  if (found_under_bus_control(st, station)) return;
  if (st.servo_restore_flags[station] == 0) st.servo_restore_flags[station] = owner;
}

BusControlWindow::RestoreOutcome restore_own_servos(DriveLinkState& st, BatchWrites& batch, uint8_t owner,
                                                    const HeldElsewhere& held_elsewhere) {
  std::vector<uint8_t> own;
  for (int i = 0; i < st.servo_count; ++i) {
    const uint8_t a = st.servo_nodes[i];
    if (st.servo_restore_flags[a] != owner) continue;
    const std::optional<uint8_t> holder = held_elsewhere ? held_elsewhere(a) : std::nullopt;
    if (!holder) {
      own.push_back(a);
    } else if (*holder != 0) {
      // Another window works on it or has it under its bus control: its
      // settings go back when that window is left.
      st.servo_restore_flags[a] = *holder;
    }
  }
  st.servo_restore_pending = own.empty() ? 0 : 1;
  BusControlWindow::RestoreOutcome outcome;
  outcome.needed = !own.empty();
  for (uint8_t a : own) {
    batch.parameter_save(a);
    if (st.batch_go != 1) {
      outcome.ok = false;
      // Only the drive's own refusal keeps the user in; a silent or garbled
      // line lets them leave, told that the restore failed.
      outcome.line_dead = batch.last_outcome().kind != ExchangeOutcome::Exception;
      break;
    }
    // Back under its own settings: no window's bus mode holds for it.
    st.servo_restore_flags[a] = 0;
    st.servo_rs485_mode[a] = 0;
    st.servo_jog_mode[a] = 0;
  }
  // Flags of drives already written back must not come back.
  if (outcome.ok) st.servo_restore_pending = 0;
  return outcome;
}

}  // namespace velmo::servo
