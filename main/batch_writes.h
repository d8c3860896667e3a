#pragma once
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
  DriveLink& link_;
  FormLookup forms_;
};

}  // namespace velmo
