#pragma once
#include "common/velmo_window.h"

namespace velmo {

// The speed-controller menu editor: the whole parameter set of one speed controller.
class SpeedCtlMenuEditor : public VelmoWindow {
  Q_OBJECT
 public:
  explicit SpeedCtlMenuEditor(AppContext& ctx, QWidget* parent = nullptr);
 protected:
  bool exit_guard() override;
};

}  // namespace velmo
