#pragma once
#include <cstdint>
#include <functional>
#include <optional>

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

// A window takes a servo over for the restore: the flag records the window
// (its restore code) unless another window took it over first, which then
// restores it.
// A servo found under bus control at the search (F0-00 read as bus control,
// and no window of this program put it there) is never flagged: what its own
// settings were is unknown.
void flag_for_restore(DriveLinkState& st, uint8_t station, uint8_t owner);
bool found_under_bus_control(const DriveLinkState& st, uint8_t station);

// The restore code of another open window that holds a drive now (0: one
// that restores no servo), nullopt when none does.
using HeldElsewhere = std::function<std::optional<uint8_t>(uint8_t station)>;

// Leaving a window: the servos it took over (flag = `owner`) get their own
// settings back through parameter_save, one drive at a time, so that exactly
// the drives written back lose their flag and their bus modes. A drive
// another window holds now is left to that window: its flag passes to it
// (or, where that window restores no servo, stays). The first failure ends
// the restore; the rest keep their flags.
BusControlWindow::RestoreOutcome restore_own_servos(DriveLinkState& st, BatchWrites& batch, uint8_t owner,
                                                    const HeldElsewhere& held_elsewhere);

}  // namespace velmo::servo
