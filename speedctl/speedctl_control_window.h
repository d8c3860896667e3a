#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Runs one speed controller under RS-485 bus control.
class SpeedCtlControlWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit SpeedCtlControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;
};

}  // namespace velmo
