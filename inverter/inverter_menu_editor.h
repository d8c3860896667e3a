#pragma once
#include "common/velmo_window.h"

namespace velmo {

// The inverter menu editor: the whole parameter set of one inverter.
class InverterMenuEditor : public VelmoWindow {
  Q_OBJECT
 public:
  explicit InverterMenuEditor(AppContext& ctx, QWidget* parent = nullptr);
 protected:
  bool exit_guard() override;
};

}  // namespace velmo
