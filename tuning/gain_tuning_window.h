#pragma once
#include "common/velmo_window.h"

namespace velmo {

// The gain-tuning window of one servo drive.
class GainTuningWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit GainTuningWindow(AppContext& ctx, QWidget* parent = nullptr);
};

}  // namespace velmo
