#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Runs one servo drive under RS-485 bus control.
class ServoControlWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit ServoControlWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
