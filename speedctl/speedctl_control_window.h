#pragma once
#include "common/bus_control_window.h"

namespace velmo {

// Runs one speed controller under RS-485 bus control.
class SpeedCtlControlWindow : public BusControlWindow {
  Q_OBJECT
 public:
  explicit SpeedCtlControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;

 protected:
  void poll() override {}
  bool any_running() override;
  RestoreOutcome restore_drives() override;
};

}  // namespace velmo
