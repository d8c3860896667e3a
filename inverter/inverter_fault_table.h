#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Reference table of the inverter fault codes.
class InverterFaultTableWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit InverterFaultTableWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
