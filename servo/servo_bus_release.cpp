#include "servo/servo_bus_release.h"

#include <vector>

#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"
#include "drivelink/drive_link_state.h"
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
              : servo_status::run_state_after(status_word, st.servo_restore_flags[node] == 1, state);
}

BusControlWindow::RestoreOutcome restore_flagged_servos(DriveLinkState& st, BatchWrites& batch) {
  std::vector<uint8_t> flagged;
  st.servo_restore_pending = 0;
  for (int i = 0; i < st.servo_count; ++i) {
    const uint8_t a = st.servo_nodes[i];
    st.servo_rs485_mode[a] = 0;
    if (st.servo_restore_flags[a] == 1) {
      st.servo_restore_pending = 1;
      flagged.push_back(a);
    }
  }
  BusControlWindow::RestoreOutcome outcome;
  outcome.needed = st.servo_restore_pending != 0;
  for (size_t k = 0; k < flagged.size(); ++k) {
    // parameter_save writes back every flagged drive: the later ones are
    // hidden from it for this round.
    for (size_t j = k + 1; j < flagged.size(); ++j) st.servo_restore_flags[flagged[j]] = 0;
    batch.parameter_save();
    const bool restored = st.batch_go == 1;
    for (size_t j = k + 1; j < flagged.size(); ++j) st.servo_restore_flags[flagged[j]] = 1;
    if (!restored) {
      outcome.ok = false;
      // Only the drive's own refusal keeps the user in; a silent or garbled
      // line lets them leave, told that the restore failed.
      outcome.line_dead = batch.last_outcome().kind != ExchangeOutcome::Exception;
      break;
    }
    st.servo_restore_flags[flagged[k]] = 0;
  }
  // Flags of drives already written back must not come back.
  if (outcome.ok) st.servo_restore_pending = 0;
  return outcome;
}

}  // namespace velmo::servo
