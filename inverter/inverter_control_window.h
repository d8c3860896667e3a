#pragma once
#include "common/bus_control_window.h"

namespace velmo {

// Runs one inverter under RS-485 bus control.
class InverterControlWindow : public BusControlWindow {
  Q_OBJECT
 public:
  explicit InverterControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;

 protected:
  void poll() override {}
  bool any_running() override;
  RestoreOutcome restore_drives() override;
};

}  // namespace velmo
