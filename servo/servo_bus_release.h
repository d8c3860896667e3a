#pragma once
#include "common/bus_control_window.h"

namespace velmo {
class BatchWrites;
struct DriveLinkState;
}  // namespace velmo

namespace velmo::servo {

// Whether a listed servo still runs or is faulted; kept in servo_any_running,
// afresh at every call.
bool any_servo_running(DriveLinkState& st);

// The run state of `node` after an accepted status read gave `status_word`:
// an unknown state always takes what the drive says, as for a drive under
// bus control; a known one follows the status bits as the restore flag allows.
void settle_run_state(DriveLinkState& st, uint8_t node, uint16_t status_word);

// Leaving bus control: every listed servo drops its bus run mode, and the
// flagged ones get their own settings back through parameter_save, one drive
// at a time so that exactly the drives written back lose their flag. The
// first failure ends the restore; the rest keep their flags.
BusControlWindow::RestoreOutcome restore_flagged_servos(DriveLinkState& st, BatchWrites& batch);

}  // namespace velmo::servo
