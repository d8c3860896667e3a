#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "drivelink/drive_link.h"
#include "drivelink/drive_link_state.h"
#include "drivelink/node_classification.h"

namespace velmo {

class LinkEvents;

// Switches drives to bus control and writes their own control settings back.
// The result of each operation is batch_go (1 = every write accepted); what
// each write did is reported through the link events.
class BatchWrites {
 public:
  BatchWrites(DriveLink& link, LinkEvents& events);
  // The list position of the node a family's control window has selected
  // (-1: none); given by that window.
  void set_selection(DeviceFamily family, std::function<int()> selected);
  // Servo restore of one drive: its own settings back. Each window restores
  // the drives it took over, one at a time.
  void parameter_save(uint8_t station);
  void bpq_rs485_set();       // inverter to bus control
  void bpq_parameter_save();  // inverter restore
  void tsq_rs485_set();       // speed controller to bus control
  void tsq_parameter_save();  // speed controller restore
  // Why the last operation's first failed write failed; otherwise how the
  // link's last exchange ended.
  const ExchangeOutcome& last_outcome() const;
  // The first write of the last operation that was not accepted ("寄存器5",
  // or the servo mode step); empty when every write was.
  const QString& failed_step() const { return failed_step_; }

 private:
  struct RegisterWrite {
    uint16_t reg;
    int32_t value;
  };
  // Writes each flagged node's own settings back, in list order, and stops at
  // the first write that is not accepted (later nodes keep their flags).
  void restore_flagged(int count, const ByPos<uint8_t>& nodes, ByPos<uint8_t>& restore_flags, ByPos<uint8_t>& bus_flags,
                       const std::function<std::vector<RegisterWrite>(uint8_t station)>& settings);

  // Switches the node selected in a family's control window to bus control.
  void switch_selected_to_bus(DeviceFamily family, int count, const ByPos<uint8_t>& nodes,
                              const std::vector<RegisterWrite>& writes);
  int selected_position(DeviceFamily family) const;

  // Starts an operation: nothing failed yet.
  void start();
  // One write of an operation; a failure is kept for last_outcome().
  bool write(uint8_t station, uint16_t reg, int32_t value);
  // One write of a restore: a write whose reply was lost or garbled (the
  // drive may have taken it) is settled by reading the register back, and
  // the line says what the drive holds.
  bool restore_write(uint8_t station, uint16_t reg, int32_t value);
  // Reads back a write the drive may have taken; true when it holds `value`.
  bool settled_by_read_back(uint8_t station, uint16_t reg, int32_t value);

  DriveLink& link_;
  LinkEvents& events_;
  std::optional<ExchangeOutcome> failure_;
  QString failed_step_;
  std::function<int()> selected_inverter_;
  std::function<int()> selected_speed_controller_;
};

}  // namespace velmo
