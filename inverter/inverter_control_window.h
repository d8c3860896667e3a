#pragma once
#include "common/velmo_window.h"

namespace velmo {

// Runs one inverter under RS-485 bus control.
class InverterControlWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit InverterControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;
};

}  // namespace velmo
