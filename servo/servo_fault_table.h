#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Reference table of the servo fault and warning codes.
class ServoFaultTableWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit ServoFaultTableWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
