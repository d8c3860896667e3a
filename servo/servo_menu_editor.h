#pragma once
#include "common/velmo_window.h"

namespace velmo {

// The servo menu editor: the whole parameter set of one servo drive.
class ServoMenuEditor : public VelmoWindow {
  Q_OBJECT
 public:
  explicit ServoMenuEditor(AppContext& ctx, QWidget* parent = nullptr);
 protected:
  bool exit_guard() override;
};

}  // namespace velmo
