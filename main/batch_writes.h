#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "drivelink/drive_link_state.h"
#include "main/node_search.h"

namespace velmo {

class DriveLink;

// Switches drives to bus control and writes their own control settings back.
// The result of each operation is batch_go (1 = every write accepted).
class BatchWrites {
 public:
  BatchWrites(DriveLink& link, FormLookup forms);
  void parameter_save();      // servo restore
  void bpq_rs485_set();       // inverter to bus control
  void bpq_parameter_save();  // inverter restore
  void tsq_rs485_set();       // speed controller to bus control
  void tsq_parameter_save();  // speed controller restore

 private:
  struct RegisterWrite {
    uint16_t reg;
    int32_t value;
  };
  // Writes each flagged node's own settings back, in list order, and stops at
  // the first write that is not accepted (later nodes keep their flags).
  void restore_flagged(int count, const ByPos<uint8_t>& nodes, ByPos<uint8_t>& restore_flags, ByPos<uint8_t>& bus_flags,
                       const std::function<std::vector<RegisterWrite>(uint8_t station)>& settings);

  // Switches the node selected in a control window's ComboBox1 to bus control.
  void switch_selected_to_bus(const char* form, const char* failure_memo, int count, const ByPos<uint8_t>& nodes,
                              const std::vector<RegisterWrite>& writes);

  DriveLink& link_;
  FormLookup forms_;
};

}  // namespace velmo
